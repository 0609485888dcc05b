// Part of Veltrane. Copyright (c) 2026 the Veltrane developers.
#include <QCoreApplication>
#include <gtest/gtest.h>

// The store queues its first load on the event loop, so the tests need one.
int main(int argc, char* argv[]) {
    const QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
