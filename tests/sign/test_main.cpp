// SPDX-License-Identifier: Apache-2.0
#include "signing_world.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    // Before anything reaches the tokens, so that GnuTLS finds the test's token.
    signtest::SigningWorld::get();
    return RUN_ALL_TESTS();
}
