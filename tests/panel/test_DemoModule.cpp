// rk7140-panel --demo: the virtual module on a pseudo-terminal as the
// selected port, gone again when the demo ends; a module that cannot start
// leaves the panel's environment as it was.
#include <gtest/gtest.h>

#include <QFileInfo>

#include "uDemoModule.h"
#include "uOptions.h"
#include "uSerialPorts.h"

namespace {

// Keeps the variables the demo sets and puts them back.
class DemoModule : public ::testing::Test {
protected:
  void SetUp() override {
    fPorts = qgetenv("RK7140_PORTS");
    fConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("RK7140_PORTS", "/nonexistent/earlier-port");
  }
  void TearDown() override {
    qputenv("RK7140_PORTS", fPorts);
    qputenv("XDG_CONFIG_HOME", fConfig);
  }
  QByteArray fPorts, fConfig;
};

TEST_F(DemoModule, ServesTheSelectedPortAndEndsWithTheDemo) {
  QString portPath;
  {
    TzDemoModule demo(QStringLiteral(RK_SIM_PROGRAM));
    QString error;
    ASSERT_TRUE(demo.Start(error)) << error.toStdString();
    EXPECT_TRUE(demo.Running());
    portPath = demo.PortPath();
    EXPECT_TRUE(QFileInfo(portPath).isSymLink());
    // First in the list the panel shows, so the frame selects it; earlier entries stay.
    EXPECT_EQ(qgetenv("RK7140_PORTS"), QFile::encodeName(portPath) + ":/nonexistent/earlier-port");
    const std::vector<TzSerialPortInfo> ports = EnumSerialPortList();
    ASSERT_FALSE(ports.empty());
    EXPECT_EQ(ports.front().Name, portPath.toStdString());
    // The demo's settings go to its own folder, never to the user's Options.xml.
    EXPECT_TRUE(QString::fromStdString(OptionsFilePath().string()).startsWith(QFileInfo(portPath).path()));
  }
  EXPECT_FALSE(QFileInfo::exists(portPath)) << "the module removes its link when it ends";
}

TEST_F(DemoModule, AModuleThatDoesNotStartChangesNothing) {
  struct Case {
    const char* program;
    const char* errorPart;
  };
  for (const Case& c : {Case{"", "rk7140-sim"}, Case{"/nonexistent/rk7140-sim", "rk7140-sim"},
                        Case{"/bin/false", "не подготовил порт"}}) {
    SCOPED_TRACE(c.program);
    TzDemoModule demo(QString::fromUtf8(c.program));
    QString error;
    EXPECT_FALSE(demo.Start(error));
    EXPECT_TRUE(error.contains(QString::fromUtf8(c.errorPart))) << error.toStdString();
    EXPECT_FALSE(demo.Running());
    EXPECT_EQ(qgetenv("RK7140_PORTS"), QByteArray("/nonexistent/earlier-port"));
  }
}

}  // namespace
