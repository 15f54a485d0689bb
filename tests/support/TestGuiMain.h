// main() for widget tests: as TestMain.h, with a QApplication on the
// offscreen platform.
#pragma once

#include "TestMain.h"
#include <QApplication>

#define TARNWICK_TEST_GUI_MAIN(TestClass) TARNWICK_TEST_MAIN_IMPL(QApplication, TestClass)
