// The panel "Настройки модуля" connected to the virtual module in the same
// process: save, compare after a change by hand, "Записать" from the list,
// a restore that the module refuses part-way, a refused file, and every
// button reached by keyboard and assistive technology.
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>

#include <fstream>

#include "uActivationPaths.h"
#include "uFrameFixture.h"
#include "uOutputsPanel.h"
#include "uSaveFile.h"
#include "uSettingsPanel.h"
#include "uSimBackend.h"
#include "uSimControl.h"
#include "uUtils.h"

namespace {

class SettingsPanel : public FrameTest {
protected:
  void SetUp() override {
    FrameTest::SetUp();
    ASSERT_TRUE(fFiles.isValid());
    fFrame = std::make_unique<TfrRK_7140>();
    Ctl().SetEngineFactory([this](int32_t aPort) { return MakeSimEngine(aPort, Module, &fShared); });
    fFrame->txtLineTimeout->setText(QStringLiteral("100"));
    SetSaveFileChooser([this](QWidget*, const QString&, const QString& aFilter) {
      EXPECT_EQ(aFilter, QStringLiteral("Настройки модуля (*.json)"));
      return Path;
    });
    SetOpenFileChooser([this](QWidget*, const QString&, const QString&) { return Path; });
    Frame().btnConnectClick();
    ASSERT_TRUE(PumpUntil([this] { return Ctl().OprosTimer().isActive(); }));
  }
  void TearDown() override {
    SetSaveFileChooser({});
    SetOpenFileChooser({});
    fFrame.reset();
    FrameTest::TearDown();
  }

  TfrRK_7140& Frame() { return *fFrame; }
  TzRK7140Controller& Ctl() { return fFrame->Controller(); }
  TzSettingsPanel& Panel() { return *fFrame->panSettings; }
  bool Idle() { return Panel().btnSettingsSave->isEnabled(); }
  QString Status() { return Panel().labSettingsStatus->text(); }
  void Sim(const std::string& aCommand) {
    std::string reply;
    ASSERT_EQ(RunSimCommand(Module, aCommand, reply), TzSimCommandResult::Ok) << reply;
  }
  // A write over the line as another master (or the engineer) makes it.
  void WriteByHand(int aReg, int aValue) {
    const uint8_t frame[] = {16, 6, static_cast<uint8_t>(aReg >> 8), static_cast<uint8_t>(aReg), 0,
                             static_cast<uint8_t>(aValue)};
    std::vector<uint8_t> bytes(std::begin(frame), std::end(frame));
    Module.HandleFrame(WithModbusCRC(bytes));
  }
  size_t WritesSent() {
    std::lock_guard lock(fShared.Lock);
    size_t count = 0;
    for (const auto& frame : fShared.Written) count += frame.size() > 1 && (frame[1] == 5 || frame[1] == 6) ? 1 : 0;
    return count;
  }

  TzSimModule Module{TzSimConfig{.DemoInputs = false, .Inputs = 0x0805}};
  QString Path;
  QTemporaryDir fFiles;

private:
  TzSimBackend::TzShared fShared;
  std::unique_ptr<TfrRK_7140> fFrame;
};

}  // namespace

TEST_F(SettingsPanel, SaveCompareAfterAChangeAndWriteFromTheList) {
  EXPECT_TRUE(Frame().btnSettings->isEnabled());
  Frame().btnSettings->click();
  EXPECT_TRUE(Panel().isVisibleTo(&Frame()));

  Path = fFiles.filePath(QStringLiteral("module.json"));
  Panel().btnSettingsSave->click();
  ASSERT_TRUE(PumpUntil([this] { return Idle(); }));
  EXPECT_EQ(Status(), QStringLiteral("Сохранено в файл module.json"));
  EXPECT_EQ(LogLinesWith(QStringLiteral("Настройки модуля: Сохранено в файл module.json")), 1);
  TzModuleSettings saved;
  ASSERT_TRUE(LoadSettingsFile(Path.toStdString(), saved).Ok());
  EXPECT_EQ(saved.Identifier, "00-12-34-56-78-9A");
  EXPECT_EQ(saved.ReadOver.Address, 16);

  WriteByHand(4096 + 128 * 2 + 8, 77);  // the period of output 3
  Panel().btnSettingsCompare->click();
  ASSERT_TRUE(PumpUntil([this] { return Idle(); }));
  EXPECT_EQ(Status(), QStringLiteral("Различий с файлом: 1"));
  ASSERT_EQ(Panel().lstSettingsDiff->topLevelItemCount(), 1);
  const QTreeWidgetItem* item = Panel().lstSettingsDiff->topLevelItem(0);
  EXPECT_EQ(item->text(0), QStringLiteral("Реле #3"));
  EXPECT_EQ(item->text(1), QStringLiteral("Значение периода ШИМ"));
  EXPECT_EQ(item->text(2), QStringLiteral("100"));
  EXPECT_EQ(item->text(3), QStringLiteral("77"));
  ASSERT_TRUE(Panel().btnSettingsWrite->isEnabled());

  Panel().btnSettingsWrite->click();
  EXPECT_TRUE(Panel().prgSettings->isVisibleTo(&Panel()));
  ASSERT_TRUE(PumpUntil([this] { return Idle(); }));
  EXPECT_EQ(Status(), QStringLiteral("Записано и проверено: 60 значений"));
  EXPECT_FALSE(Panel().prgSettings->isVisibleTo(&Panel()));
  EXPECT_EQ(LogLinesWith(QStringLiteral("Записано и проверено")), 1);
  EXPECT_TRUE(Frame().labNeedReset->isHidden()) << "no RS-485 settings were written";

  Panel().btnSettingsCompare->click();
  ASSERT_TRUE(PumpUntil([this] { return Idle(); }));
  EXPECT_EQ(Status(), QStringLiteral("Модуль совпадает с файлом"));
  EXPECT_FALSE(Panel().btnSettingsWrite->isEnabled());
}

TEST_F(SettingsPanel, ARunningFunctionAndARefusedWrite) {
  Path = fFiles.filePath(QStringLiteral("module.json"));
  Panel().btnSettingsSave->click();
  ASSERT_TRUE(PumpUntil([this] { return Idle(); }));
  // Output 1 runs "Сигнал" now: the restore switches it off first.
  WriteByHand(4096 + 1016 - 1000, 1);
  Panel().btnSettingsRestore->click();
  ASSERT_TRUE(PumpUntil([this] { return Idle(); }));
  EXPECT_EQ(Status(), QStringLiteral("Записано и проверено: 61 значений"));
  EXPECT_EQ(Frame().Controller().DOUT(1).LogicFunc, 0) << "the outputs panel's copy follows";

  // The period of output 2 is refused: nothing after it goes out.
  Sim("fault write-exception 4232 4");
  const size_t before = WritesSent();
  Panel().btnSettingsRestore->click();
  ASSERT_TRUE(PumpUntil([this] { return Idle(); }));
  EXPECT_TRUE(Status().startsWith(QStringLiteral("Запись остановлена на Реле #2, Значение периода ШИМ = 100: модуль "
                                                 "отказал")))
      << Status().toStdString();
  EXPECT_TRUE(Status().endsWith(QStringLiteral("Записано 10 из 60, не записано 50"))) << Status().toStdString();
  EXPECT_EQ(WritesSent() - before, 11u);
}

TEST_F(SettingsPanel, ARefusedFileWritesNothingAndRS485SettingsOnlyWhenAsked) {
  Path = fFiles.filePath(QStringLiteral("bad.json"));
  std::ofstream(Path.toStdString()) << R"({"format": "rk7140-settings", "version": 9})";
  const size_t before = WritesSent();
  Panel().btnSettingsRestore->click();
  EXPECT_EQ(Status(), QStringLiteral("Файл bad.json не принят: файл более новой версии формата (9)"));
  EXPECT_TRUE(Idle());
  EXPECT_EQ(WritesSent(), before);

  // A read the module refuses: no file at all.
  Path = fFiles.filePath(QStringLiteral("none.json"));
  Sim("fault exception 60018 2");
  Panel().btnSettingsSave->click();
  ASSERT_TRUE(PumpUntil([this] { return Idle(); }));
  EXPECT_TRUE(Status().startsWith(QStringLiteral("Файл не сохранён: модуль отказал"))) << Status().toStdString();
  EXPECT_FALSE(QFileInfo::exists(Path));
  Sim("fault off");

  // A file of another address, written with its RS-485 settings: "!" and the
  // connection panel carry them, as "Применить" of "Устройство" does.
  Path = fFiles.filePath(QStringLiteral("module.json"));
  Panel().btnSettingsSave->click();
  ASSERT_TRUE(PumpUntil([this] { return Idle(); }));
  TzModuleSettings file;
  ASSERT_TRUE(LoadSettingsFile(Path.toStdString(), file).Ok());
  file.Line.Address = 21;
  std::string error;
  ASSERT_TRUE(SaveSettingsFile(Path.toStdString(), file, error));
  Panel().chkSettingsLine->setChecked(true);
  Panel().btnSettingsRestore->click();
  ASSERT_TRUE(PumpUntil([this] { return Idle(); }));
  EXPECT_EQ(Status(), QStringLiteral("Записано и проверено: 64 значений"));
  EXPECT_FALSE(Frame().labNeedReset->isHidden());
  EXPECT_EQ(Frame().txtLineAddr->text(), QStringLiteral("21"));
}

TEST_F(SettingsPanel, EveryControlFromTheKeyboardAndAssistiveTools) {
  Path = fFiles.filePath(QStringLiteral("module.json"));
  for (const TzActivation path : kAllActivations) {
    SCOPED_TRACE(ActivationName(path));
    Activate(Panel().btnSettingsSave, path);
    ASSERT_TRUE(PumpUntil([this] { return Idle(); }));
    EXPECT_EQ(Status(), QStringLiteral("Сохранено в файл module.json"));
    Panel().labSettingsStatus->clear();
    Activate(Panel().btnSettingsCompare, path);
    ASSERT_TRUE(PumpUntil([this] { return Idle(); }));
    EXPECT_EQ(Status(), QStringLiteral("Модуль совпадает с файлом"));
  }
  for (QWidget* w : std::initializer_list<QWidget*>{Panel().btnSettingsSave, Panel().btnSettingsCompare,
                                                    Panel().btnSettingsRestore, Panel().chkSettingsLine,
                                                    Panel().lstSettingsDiff, Panel().btnSettingsWrite}) {
    EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
    EXPECT_NE(w->focusPolicy() & Qt::TabFocus, 0) << w->objectName().toStdString();
  }
  EXPECT_EQ(Frame().btnSettings->accessibleName(), QStringLiteral("Настройки модуля"));
}
