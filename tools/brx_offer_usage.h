// SPDX-License-Identifier: Apache-2.0
#pragma once

// What `brx-offer --help` prints and what follows a usage error, the same for each of the
// programs that make up brx-offer. Plain UTF-8, so that the program that starts without Qt can
// print it.
extern const char* const kBrxOfferUsage;
