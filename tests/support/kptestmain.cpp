#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // Plug-in objects paint with QPixmap and use the clipboard, as in a host.
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
