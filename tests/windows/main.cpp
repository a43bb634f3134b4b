// The widget tests need one application object for the whole run.
#include <QApplication>
#include <gtest/gtest.h>

#include "uButtonActivation.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  InstallEnterActivatesButtons(&app);
  return RUN_ALL_TESTS();
}
