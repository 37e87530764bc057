#pragma once
// The QApplication of a window test program that makes it on first use, so
// that the program's tests without windows run without one.
#include <QApplication>

#include <string>

inline QApplication& TestApp(const char* program) {
    static int argc = 1;
    static std::string name = program;
    static char* argv[] = {name.data(), nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}
