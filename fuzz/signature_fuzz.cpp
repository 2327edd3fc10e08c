// SPDX-License-Identifier: Apache-2.0
// Hands arbitrary bytes to the signature check as a detached signature of a fixed file, and to
// the certificate reader as a certificate. A data::Error is the expected answer to damage.

#include "data/error.h"
#include "sign/certificate.h"
#include "sign/verification.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // Trust anchors of the input's own making would only slow each run: the system's serve.
    try {
        sign::verifyDetached(QByteArray("<PREDL/>\r\n"), bytes, std::nullopt);
    } catch (const data::Error&) {
    }
    try {
        sign::readCertificate(bytes);
    } catch (const data::Error&) {
    }
    return 0;
}
