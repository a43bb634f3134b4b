#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>

#include "uVerInfo.h"
#include "uVersion.h"

// The version button shows and hides the window; every show centres it over
// the main window, wherever that is now.
TEST(VerInfo, TogglesAndCentresOverTheMainWindowOnEveryShow) {
  QWidget main;
  main.setGeometry(100, 100, 720, 600);
  main.show();
  TfrmVerInfo info(&main);
  EXPECT_EQ(info.windowTitle(), QStringLiteral("История версий"));
  EXPECT_EQ(info.size(), QSize(505, 461));
  // The newest release in the history is the project's version.
  EXPECT_TRUE(info.Label4->text().startsWith(QStringLiteral("<b>ver ") + QString::fromUtf8(kPanelVersion) + "</b>"));
  EXPECT_TRUE(info.Label4->text().contains(QStringLiteral("ver 0.1.3a")));
  EXPECT_TRUE(info.Label4->text().contains(QStringLiteral("ver 0.1a")));

  auto centred = [&] {
    const QRect m = main.frameGeometry();
    const QRect own = info.frameGeometry();
    return own.left() == m.left() + m.width() / 2 - own.width() / 2 &&
           own.top() == m.top() + m.height() / 2 - own.height() / 2;
  };
  info.Toggle();
  EXPECT_TRUE(info.isVisible());
  EXPECT_TRUE(centred());
  info.Toggle();
  EXPECT_FALSE(info.isVisible());

  main.move(300, 40);
  QApplication::processEvents();
  info.Toggle();
  EXPECT_TRUE(info.isVisible());
  EXPECT_TRUE(centred());
}
