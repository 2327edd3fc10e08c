// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <QtGlobal>

// The offer's texts are scanned character by character more than once (for what XML cannot
// carry, what to escape, where lines end), megabytes of them in a large lot, and nearly every
// character needs nothing. The scans pass over whole blocks of such characters with one check.

// The characters a scan checks at once.
inline constexpr qsizetype kPlainBlock = 32;

// Whether `plain` holds for each of the `count` characters at `chars`. Without an early exit, so
// that the compiler checks many characters with one instruction.
template <typename Plain> bool allPlain(const char16_t* chars, qsizetype count, Plain plain) {
    unsigned notPlain = 0;
    for (qsizetype i = 0; i < count; ++i)
        notPlain |= plain(chars[i]) ? 0U : 1U;
    return notPlain == 0;
}

// The index of the first character from `from` on, of the `size` at `chars`, for which `plain`
// does not hold; `size` when there is none.
template <typename Plain>
qsizetype nextNotPlain(const char16_t* chars, qsizetype from, qsizetype size, Plain plain) {
    qsizetype i = from;
    while (size - i >= kPlainBlock && allPlain(chars + i, kPlainBlock, plain))
        i += kPlainBlock;
    while (i < size && plain(chars[i]))
        ++i;
    return i;
}
