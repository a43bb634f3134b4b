// The port observer window fed by hand, with its own clock and its timers
// driven by the tests.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QPointer>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "uButtonActivation.h"
#include "uLineName.h"
#include "uObsColumns.h"
#include "uPortObserver.h"
#include "uSerialPorts.h"

namespace {

const std::vector<uint8_t> kRead4101{0x10, 0x03, 0x10, 0x05, 0x00, 0x01, 0x93, 0x8A};
const std::vector<uint8_t> kAnswer4101{0x10, 0x03, 0x02, 0x00, 0x0C, 0x45, 0x81};

TzPortObsRec Req(int32_t aUID, int32_t aFunc = 3, int32_t aReg = 4101, std::vector<uint8_t> aCmd = kRead4101) {
  TzPortObsRec rec;
  rec.Port = 3;
  rec.Index = aUID;
  rec.Addr = 16;
  rec.Func = aFunc;
  rec.Reg = aReg;
  rec.Cmd = std::move(aCmd);
  rec.Name = QStringLiteral("Тег %1").arg(aReg);
  return rec;
}

TzPortObsRec Ans(int32_t aUID, std::vector<uint8_t> aCmd = kAnswer4101, const QString& aValue = QStringLiteral("12")) {
  TzPortObsRec rec = Req(aUID);
  rec.Cmd = std::move(aCmd);
  rec.Value = aValue;
  return rec;
}

class PortObserver : public testing::Test {
protected:
  void SetUp() override { fObs = MakeObserver(); }
  void TearDown() override {
    fObs.reset();
    for (IPortObserver* observer : PortObservers()) PortObsRemove(observer);
  }

  std::unique_ptr<TfrmPortObserver> MakeObserver() {
    auto obs = std::make_unique<TfrmPortObserver>();
    obs->AutoClearTimer.stop();
    obs->InterfaceTimer.stop();
    obs->TickSource = [this] { return Now; };
    return obs;
  }

  TfrmPortObserver& Obs() { return *fObs; }
  QString Text(int aRow, int aColumn) const {
    const QTableWidgetItem* item = fObs->SG->item(aRow, aColumn);
    return item ? item->text() : QString();
  }
  int Rows() const { return fObs->SG->rowCount(); }
  void UseDynamicMode() { Obs().rbDinamica->click(); }
  // Fills the grid with aCount dynamic-mode rows, UIDs 1..aCount.
  void FillRows(int aCount) {
    UseDynamicMode();
    for (int uid = 1; uid <= aCount; ++uid) Obs().AddRequest(Req(uid, 3, uid));
  }

  uint32_t Now = 1000;

private:
  std::unique_ptr<TfrmPortObserver> fObs;
};

}  // namespace

TEST_F(PortObserver, StartsEmptyWithTheDefaultControls) {
  Obs().SetComPort(7);
  // The line is named by the device it opens, not by the port number.
#ifdef _WIN32
  EXPECT_EQ(Obs().windowTitle(), QStringLiteral("Наблюдение за линией COM7"));
#else
  EXPECT_EQ(Obs().windowTitle(), QStringLiteral("Наблюдение за линией /dev/ttyS6"));
  // A pseudo-terminal offered through RK7140_PORTS, not "COM100001".
  const QByteArray oldPorts = qgetenv("RK7140_PORTS");
  const bool hadPorts = qEnvironmentVariableIsSet("RK7140_PORTS");
  qputenv("RK7140_PORTS", "/dev/pts/3");
  Obs().SetComPort(kExtraPortBase + 1);
  EXPECT_EQ(Obs().windowTitle(), QStringLiteral("Наблюдение за линией /dev/pts/3"));
  EXPECT_EQ(LineFileName(kExtraPortBase + 1), QStringLiteral("pts-3"));
  EXPECT_EQ(LineFileName(1000), QStringLiteral("ttyUSB0"));
  if (hadPorts) qputenv("RK7140_PORTS", oldPorts);
  else qunsetenv("RK7140_PORTS");
  Obs().SetComPort(7);
#endif
  EXPECT_EQ(Obs().ComPort(), 7);
  EXPECT_TRUE(Obs().windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(Obs().size(), QSize(934, 538));
  EXPECT_TRUE(PortObservers().size() == 1 && PortObservers()[0] == &Obs());

  const QStringList headers{"##", "Время", "Регистр", "Ф-ция", "Таймаут", "Значение", "Название", "Запрос", "Ответ"};
  const int widths[] = {35, 140, 90, 40, 55, 60, 200, 140, 140};  // the time has milliseconds
  const double average = AverageCharWidth(QFontMetricsF(Obs().SG->font()));
  ASSERT_EQ(Obs().SG->columnCount(), 9);
  for (int column = 0; column < 9; ++column) {
    EXPECT_EQ(Obs().SG->horizontalHeaderItem(column)->text(), headers[column]);
    EXPECT_GE(Obs().SG->columnWidth(column), ScaleDesignWidth(widths[column], average)) << column;
  }
  EXPECT_EQ(Rows(), 1);
  EXPECT_EQ(Text(0, kObsColUID), QString());
  EXPECT_EQ(Obs().SG->geometry().top(), kObsBarMargin);

  EXPECT_TRUE(Obs().chFilters->isChecked());
  EXPECT_FALSE(Obs().chFilterFunc->isChecked());
  EXPECT_FALSE(Obs().chFilterReg->isChecked());
  EXPECT_EQ(Obs().cbFunc->currentText(), QStringLiteral("01h  Read Coils"));
  EXPECT_EQ(Obs().txtReg->value(), 0);
  EXPECT_TRUE(Obs().rbHex->isChecked());
  EXPECT_TRUE(Obs().rbStatica->isChecked());
  EXPECT_FALSE(Obs().btnPause->isChecked());
  EXPECT_TRUE(Obs().btnPin->isChecked());
  EXPECT_TRUE(Obs().btnAutoLimit->isChecked());
  EXPECT_TRUE(Obs().gbFilters->isHidden());
  EXPECT_EQ(Obs().btnPause->accessibleName(), QStringLiteral("Пауза"));
  EXPECT_EQ(Obs().btnPin->accessibleName(), QStringLiteral("Закрепить панель"));
  EXPECT_EQ(Obs().btnSave->accessibleName(), QStringLiteral("Сохранить"));
  EXPECT_TRUE(Obs().btnSave->toolTip().startsWith(QStringLiteral("Сохранить\n")));
  EXPECT_FALSE(Obs().btnSave->isCheckable());
  EXPECT_FALSE(Obs().btnSave->icon().isNull());
  EXPECT_NE(Obs().btnSave->focusPolicy() & Qt::TabFocus, 0);
}

// Each connection's engine numbers its requests from 1 again: an answer of
// the new connection fills the new row with its UID, never an old row of the
// same UID (which would show the time since the old request, 89527 ms).
TEST_F(PortObserver, AnswersMatchTheirOwnConnectionsRows) {
  Obs().rbDinamica->click();
  TzPortObsRec old = Req(1);
  old.Connection = 1;
  Obs().AddRequest(old);
  Now += 89000;
  TzPortObsRec fresh = Req(1);
  fresh.Connection = 2;
  Obs().AddRequest(fresh);
  Now += 25;
  TzPortObsRec answer;
  answer.Index = 1;
  answer.Connection = 2;
  answer.Cmd = {0x10, 0x03, 0x02, 0x00, 0x05, 0x85, 0x87};
  answer.Value = QStringLiteral("5");
  Obs().AddAnswer(answer);
  EXPECT_EQ(Text(0, kObsColElapsed), QString());
  EXPECT_EQ(Text(0, kObsColValue), QString());
  EXPECT_EQ(Text(1, kObsColElapsed), QStringLiteral("25 мс"));
  EXPECT_EQ(Text(1, kObsColValue), QStringLiteral("5"));
  // An answer of a connection that has no row is dropped.
  answer.Connection = 3;
  answer.Value = QStringLiteral("9");
  Obs().AddAnswer(answer);
  EXPECT_EQ(Text(0, kObsColValue), QString());
  EXPECT_EQ(Text(1, kObsColValue), QStringLiteral("5"));
}

TEST_F(PortObserver, RequestAndAnswerFillOneRow) {
  Now = 0xFFFFFFF0u;  // the tick count wraps between request and answer
  Obs().AddRequest(Req(7));
  EXPECT_EQ(Text(0, kObsColUID), QStringLiteral("7"));
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d\\.\\d{3}$"))
                  .match(Text(0, kObsColTime))
                  .hasMatch())
      << Text(0, kObsColTime).toStdString();
  EXPECT_EQ(Text(0, kObsColReg), QStringLiteral("4101 (0x1005)"));
  EXPECT_EQ(Text(0, kObsColFunc), QStringLiteral("03h"));
  EXPECT_EQ(Text(0, kObsColName), QStringLiteral("Тег 4101"));
  EXPECT_EQ(Text(0, kObsColRequest), QStringLiteral("10.03.10.05.00.01.93.8A"));
  EXPECT_EQ(Text(0, kObsColElapsed), QString());
  EXPECT_EQ(Text(0, kObsColAnswer), QString());

  Now = 0x10;
  Obs().AddAnswer(Ans(7));
  EXPECT_EQ(Text(0, kObsColElapsed), QStringLiteral("32 мс"));
  EXPECT_EQ(Text(0, kObsColValue), QStringLiteral("12"));
  EXPECT_EQ(Text(0, kObsColAnswer), QStringLiteral("10.03.02.00.0C.45.81"));

  // The later feeds of the same answer overwrite value and time.
  Now = 0x20;
  Obs().AddAnswer(Ans(7, kAnswer4101, QStringLiteral("Вкл")));
  EXPECT_EQ(Text(0, kObsColElapsed), QStringLiteral("48 мс"));
  EXPECT_EQ(Text(0, kObsColValue), QStringLiteral("Вкл"));
  EXPECT_EQ(Rows(), 1);
}

TEST_F(PortObserver, AnswerWithoutBytesShowsTheTimeOnly) {
  Obs().AddRequest(Req(3));
  Now += 40;
  Obs().AddAnswer(Ans(3, {}, QStringLiteral("Нет ответа")));
  EXPECT_EQ(Text(0, kObsColAnswer), QString());
  EXPECT_EQ(Text(0, kObsColElapsed), QStringLiteral("40 мс"));
  EXPECT_EQ(Text(0, kObsColValue), QStringLiteral("Нет ответа"));
}

TEST_F(PortObserver, AnswerToAnUnknownUIDIsDropped) {
  Obs().AddAnswer(Ans(5));
  Obs().AddRequest(Req(6));
  Obs().AddAnswer(Ans(5));
  EXPECT_EQ(Rows(), 1);
  EXPECT_EQ(Text(0, kObsColUID), QStringLiteral("6"));
  EXPECT_EQ(Text(0, kObsColAnswer), QString());
}

TEST_F(PortObserver, StaticModeKeepsOneRowPerRegister) {
  Obs().AddRequest(Req(1));
  Obs().AddRequest(Req(2, 3, 60070));
  Obs().AddRequest(Req(3));  // 4101 again: overwrites row 0
  ASSERT_EQ(Rows(), 2);
  EXPECT_EQ(Text(0, kObsColUID), QStringLiteral("3"));
  EXPECT_EQ(Text(1, kObsColUID), QStringLiteral("2"));

  Obs().AddAnswer(Ans(1));  // the first request's late answer finds no row
  EXPECT_EQ(Text(0, kObsColAnswer), QString());
  EXPECT_EQ(Text(0, kObsColElapsed), QString());

  Now += 15;
  Obs().AddAnswer(Ans(3));
  EXPECT_EQ(Text(0, kObsColElapsed), QStringLiteral("15 мс"));

  // The next request of the register keeps the previous answer until its own arrives.
  Obs().AddRequest(Req(4));
  EXPECT_EQ(Text(0, kObsColUID), QStringLiteral("4"));
  EXPECT_EQ(Text(0, kObsColAnswer), QStringLiteral("10.03.02.00.0C.45.81"));
  EXPECT_EQ(Text(0, kObsColElapsed), QStringLiteral("15 мс"));
}

TEST_F(PortObserver, StaticRowsAreFoundByRegisterAloneDynamicRowsAreNot) {
  // A read of coil 4096 and a read of input register 4096.
  Obs().AddRequest(Req(1, 1, 4096, {0x10, 0x01, 0x10, 0x00, 0x00, 0x01}));
  Obs().AddRequest(Req(2, 4, 4096, {0x10, 0x04, 0x10, 0x00, 0x00, 0x01}));
  ASSERT_EQ(Rows(), 1);
  EXPECT_EQ(Text(0, kObsColUID), QStringLiteral("2"));
  EXPECT_EQ(Text(0, kObsColFunc), QStringLiteral("04h"));

  UseDynamicMode();
  Obs().AddRequest(Req(3, 1, 4096));
  Obs().AddRequest(Req(4, 4, 4096));
  EXPECT_EQ(Rows(), 3);
  EXPECT_EQ(Text(2, kObsColUID), QStringLiteral("4"));
}

TEST_F(PortObserver, FiltersDecideWhichRequestsAppear) {
  struct Case {
    const char* Name;
    bool Filters, ByFunc;
    int FuncIndex;
    bool ByReg;
    int Reg;
    int32_t Func, RecReg;
    bool Shown;
  };
  const Case cases[] = {
      {"function filter passes its function", true, true, 2, false, 0, 3, 4101, true},
      {"function filter hides a write", true, true, 2, false, 0, 6, 4101, false},
      {"register filter passes its register", true, false, 0, true, 60070, 3, 60070, true},
      {"register filter hides another register", true, false, 0, true, 60070, 3, 4101, false},
      {"both filters need both to match", true, true, 3, true, 60070, 3, 60070, false},
      {"no box ticked passes everything", true, false, 0, false, 0, 6, 4101, true},
      {"filters off pass everything", false, true, 2, true, 60070, 6, 4101, true},
  };
  for (const Case& c : cases) {
    auto obs = MakeObserver();
    obs->cbFunc->setCurrentIndex(c.FuncIndex);
    obs->txtReg->setValue(c.Reg);
    SetCheckedQuietly(obs->chFilterFunc, c.ByFunc);
    SetCheckedQuietly(obs->chFilterReg, c.ByReg);
    SetCheckedQuietly(obs->chFilters, c.Filters);
    obs->AddRequest(Req(9, c.Func, c.RecReg));
    const QTableWidgetItem* uid = obs->SG->item(0, kObsColUID);
    EXPECT_EQ(uid->text() == QStringLiteral("9"), c.Shown) << c.Name;
  }
}

TEST_F(PortObserver, FilteredAndPausedRowsStillGetTheirAnswers) {
  Obs().AddRequest(Req(1, 6, 4101));  // a write, before the filter is ticked
  Obs().cbFunc->setCurrentIndex(2);   // "03h  Read Holding Registers"
  SetCheckedQuietly(Obs().chFilterFunc, true);
  Obs().AddRequest(Req(2, 6, 60070));  // a write: filtered out
  EXPECT_EQ(Rows(), 1);
  Obs().AddAnswer(Ans(1));
  EXPECT_EQ(Text(0, kObsColAnswer), QStringLiteral("10.03.02.00.0C.45.81"));

  Obs().btnPause->click();
  Obs().AddRequest(Req(3, 3, 60070));
  EXPECT_EQ(Rows(), 1);
  Obs().AddAnswer(Ans(1, {0x10}, QStringLiteral("5")));
  EXPECT_EQ(Text(0, kObsColValue), QStringLiteral("5"));

  Obs().btnPause->click();
  Obs().AddRequest(Req(4, 3, 60070));
  EXPECT_EQ(Rows(), 2);
}

TEST_F(PortObserver, DynamicModeFollowsOnlyFromTheLastRow) {
  FillRows(3);
  EXPECT_EQ(Obs().SG->currentRow(), 2);  // followed from the start
  Obs().SG->setCurrentCell(0, 0);
  Obs().AddRequest(Req(4, 3, 4));
  EXPECT_EQ(Rows(), 4);
  EXPECT_EQ(Obs().SG->currentRow(), 0);
  Obs().SG->setCurrentCell(3, 0);
  Obs().AddRequest(Req(5, 3, 5));
  EXPECT_EQ(Obs().SG->currentRow(), 4);

  // Static mode never moves the selection.
  Obs().rbStatica->click();
  Obs().AddRequest(Req(6, 3, 6));
  Obs().AddRequest(Req(7, 3, 7));
  EXPECT_EQ(Obs().SG->currentRow(), 0);
}

TEST_F(PortObserver, AutoLimitCutsTheOldestRows) {
  struct Case {
    bool LimitDown;
    int Limit, Cut;
  };
  for (const Case c : {Case{true, kObsLimitOn, kObsCutOn}, Case{false, kObsLimitOff, kObsCutOff}}) {
    Obs().btnAutoLimit->setChecked(c.LimitDown);
    Obs().Clear();
    FillRows(c.Limit - 2);  // with the header: one row below the limit
    Obs().AutoClearTimerTimer();
    Obs().AddRequest(Req(c.Limit - 1, 3, c.Limit - 1));
    Obs().AutoClearTimerTimer();
    EXPECT_EQ(Rows(), c.Limit - 1) << c.Limit;  // at the limit: kept

    Obs().AddRequest(Req(c.Limit, 3, c.Limit));
    Obs().AutoClearTimerTimer();
    ASSERT_EQ(Rows(), c.Limit - c.Cut) << c.Limit;
    EXPECT_EQ(Text(0, kObsColUID), QString::number(c.Cut + 1));
    ASSERT_NE(Obs().RowTick(0), nullptr);
    EXPECT_EQ(Obs().RowTick(0)->Reg, c.Cut + 1);  // the records went with their rows
    EXPECT_EQ(Text(Rows() - 1, kObsColUID), QString::number(c.Limit));
  }
}

TEST_F(PortObserver, ClearLeavesOneEmptyRow) {
  FillRows(3);
  Obs().btnClear->click();
  EXPECT_FALSE(Obs().btnClear->isChecked());
  EXPECT_EQ(Rows(), 1);
  for (int column = 0; column < kObsColumnCount; ++column) EXPECT_EQ(Text(0, column), QString()) << column;
  EXPECT_EQ(Obs().RowTick(0), nullptr);
  Obs().AddRequest(Req(8));
  EXPECT_EQ(Rows(), 1);  // the empty row is taken
  EXPECT_EQ(Text(0, kObsColUID), QStringLiteral("8"));
}

TEST_F(PortObserver, FilterChangesClearOnlyInStaticMode) {
  struct Case {
    const char* Name;
    std::function<void(TfrmPortObserver&)> Setup, Change;
    bool ClearsInStatic;
  };
  const Case cases[] = {
      {"checking the filters", [](TfrmPortObserver& o) { SetCheckedQuietly(o.chFilters, false); },
       [](TfrmPortObserver& o) { o.chFilters->click(); }, true},
      {"unchecking the filters", [](TfrmPortObserver&) {}, [](TfrmPortObserver& o) { o.chFilters->click(); }, false},
      {"ticking the function box", [](TfrmPortObserver&) {}, [](TfrmPortObserver& o) { o.chFilterFunc->click(); },
       true},
      {"unticking the function box while the register box is ticked",
       [](TfrmPortObserver& o) {
         SetCheckedQuietly(o.chFilterFunc, true);
         SetCheckedQuietly(o.chFilterReg, true);
       },
       [](TfrmPortObserver& o) { o.chFilterFunc->click(); }, true},
      {"unticking the only ticked box", [](TfrmPortObserver& o) { SetCheckedQuietly(o.chFilterReg, true); },
       [](TfrmPortObserver& o) { o.chFilterReg->click(); }, false},
      {"ticking a box with the filters off", [](TfrmPortObserver& o) { SetCheckedQuietly(o.chFilters, false); },
       [](TfrmPortObserver& o) { o.chFilterReg->click(); }, false},
      {"another function while filtering by function", [](TfrmPortObserver& o) { SetCheckedQuietly(o.chFilterFunc, true); },
       [](TfrmPortObserver& o) { o.cbFunc->setCurrentIndex(3); }, true},
      {"another function while not filtering by it", [](TfrmPortObserver&) {},
       [](TfrmPortObserver& o) { o.cbFunc->setCurrentIndex(3); }, false},
      {"another register while filtering by register", [](TfrmPortObserver& o) { SetCheckedQuietly(o.chFilterReg, true); },
       [](TfrmPortObserver& o) { o.txtReg->setValue(60070); }, true},
      {"another register while not filtering by it", [](TfrmPortObserver&) {},
       [](TfrmPortObserver& o) { o.txtReg->setValue(60070); }, false},
  };
  for (const bool statica : {true, false}) {
    for (const Case& c : cases) {
      auto obs = MakeObserver();
      if (!statica) obs->rbDinamica->click();
      c.Setup(*obs);
      // Rows that no filter of any case hides.
      const bool filters = obs->chFilters->isChecked();
      SetCheckedQuietly(obs->chFilters, false);
      obs->AddRequest(Req(1, 3, 4101));
      obs->AddRequest(Req(2, 3, 4102));
      SetCheckedQuietly(obs->chFilters, filters);
      c.Change(*obs);
      const bool cleared = obs->SG->rowCount() == 1 && obs->SG->item(0, kObsColUID)->text().isEmpty();
      EXPECT_EQ(cleared, statica && c.ClearsInStatic) << c.Name << (statica ? " (static)" : " (dynamic)");
    }
  }
}

TEST_F(PortObserver, ChoosingStaticModeClears) {
  FillRows(3);
  Obs().rbStatica->click();
  EXPECT_EQ(Rows(), 1);
  EXPECT_EQ(Text(0, kObsColUID), QString());
}

TEST_F(PortObserver, NotationSwitchRewritesTheByteColumns) {
  Obs().AddRequest(Req(1));
  Obs().AddAnswer(Ans(1));
  Obs().AddRequest(Req(2, 3, 60070, {0x10, 0x03, 0xEA, 0xA6, 0x00, 0x01, 0x53, 0x70}));  // no answer yet

  Obs().rbDec->click();
  EXPECT_EQ(Text(0, kObsColRequest), QStringLiteral("16.03.16.05.00.01.147.138"));
  EXPECT_EQ(Text(0, kObsColAnswer), QStringLiteral("16.03.02.00.12.69.129"));
  EXPECT_EQ(Text(1, kObsColRequest), QStringLiteral("16.03.234.166.00.01.83.112"));
  EXPECT_EQ(Text(1, kObsColAnswer), QString());
  Obs().AddAnswer(Ans(2, {0x10, 0x03, 0x02, 0x08, 0x05, 0xFF, 0x06}));
  EXPECT_EQ(Text(1, kObsColAnswer), QStringLiteral("16.03.02.08.05.255.06"));

  Obs().rbHex->click();
  EXPECT_EQ(Text(0, kObsColRequest), QStringLiteral("10.03.10.05.00.01.93.8A"));
  EXPECT_EQ(Text(1, kObsColAnswer), QStringLiteral("10.03.02.08.05.FF.06"));
}

TEST_F(PortObserver, AnswerColumnWidensForLongAnswers) {
  Obs().AddRequest(Req(1));
  Obs().AddAnswer(Ans(1, std::vector<uint8_t>(40, 0xAB)));
  const QString text = Text(0, kObsColAnswer);
  EXPECT_EQ(Obs().SG->columnWidth(kObsColAnswer), QFontMetrics(Obs().SG->font()).horizontalAdvance(text) + 10);
  Obs().AddRequest(Req(2, 3, 4102));
  Obs().AddAnswer(Ans(2));  // a short one leaves the width alone
  EXPECT_EQ(Obs().SG->columnWidth(kObsColAnswer), QFontMetrics(Obs().SG->font()).horizontalAdvance(text) + 10);
}

TEST_F(PortObserver, CtrlCCopiesEverySelectedRowTabSeparated) {
  QApplication::clipboard()->setText(QStringLiteral("before"));
  QTest::keyRelease(Obs().SG, Qt::Key_C, Qt::ControlModifier);  // only the empty row: nothing to copy
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("before"));

  UseDynamicMode();
  for (int uid = 1; uid <= 4; ++uid) Obs().AddRequest(Req(uid, 3, 4100 + uid));
  Obs().AddAnswer(Ans(3));
  TzPortObsRec odd = Req(5, 3, 4200);
  odd.Name = QStringLiteral("имя\tс табуляцией\nи строкой");
  Obs().AddRequest(odd);

  // Rows 3, 1 and 5 selected, in that order, the way Ctrl+click does it.
  Obs().SG->clearSelection();
  const auto select = [&](int aRow) {
    Obs().SG->selectionModel()->select(Obs().SG->model()->index(aRow, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
  };
  select(2);
  select(0);
  select(4);
  QTest::keyRelease(Obs().SG, Qt::Key_C);  // without Ctrl: nothing
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("before"));
  QTest::keyRelease(Obs().SG, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);

  const QStringList lines = QApplication::clipboard()->text().split(QStringLiteral("\r\n"));
  ASSERT_EQ(lines.size(), 3);  // grid order, whatever the order of selecting
  const QStringList first = lines[0].split(u'\t');
  ASSERT_EQ(first.size(), kObsColumnCount);
  EXPECT_EQ(first[kObsColUID], QStringLiteral("1"));
  EXPECT_EQ(first[kObsColReg], QStringLiteral("4101 (0x1005)"));
  EXPECT_EQ(first[kObsColRequest], QStringLiteral("10.03.10.05.00.01.93.8A"));
  EXPECT_EQ(first[kObsColAnswer], QString());
  const QStringList third = lines[1].split(u'\t');
  ASSERT_EQ(third.size(), kObsColumnCount);
  EXPECT_EQ(third[kObsColUID], QStringLiteral("3"));
  EXPECT_EQ(third[kObsColElapsed], QStringLiteral("0 мс"));
  EXPECT_EQ(third[kObsColAnswer], QStringLiteral("10.03.02.00.0C.45.81"));
  const QStringList fifth = lines[2].split(u'\t');
  ASSERT_EQ(fifth.size(), kObsColumnCount);  // the tab inside the name does not split the row
  EXPECT_EQ(fifth[kObsColName], QStringLiteral("имя с табуляцией и строкой"));

  // The mouse and the keyboard select several rows too: a click on the fourth
  // row, then Shift+Down.
  Obs().show();
  QTest::mouseClick(Obs().SG->viewport(), Qt::LeftButton, Qt::NoModifier,
                    Obs().SG->visualItemRect(Obs().SG->item(3, 1)).center());
  QTest::keyClick(Obs().SG, Qt::Key_Down, Qt::ShiftModifier);
  QTest::keyRelease(Obs().SG, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text().count(QStringLiteral("\r\n")), 1);
  EXPECT_TRUE(QApplication::clipboard()->text().startsWith(QStringLiteral("4\t")));
}

TEST_F(PortObserver, ControlBarHidesWhenUnpinnedAndThePointerLeaves) {
  Obs().btnFilters->click();
  EXPECT_FALSE(Obs().gbFilters->isHidden());

  Obs().ShowControlBar(true);
  Obs().InterfaceTimerTimer();  // pinned: nothing changes whatever the pointer does
  EXPECT_FALSE(Obs().gbFilters->isHidden());

  Obs().ShowControlBar(false);
  EXPECT_EQ(Obs().SG->geometry().top(), kObsHiddenMargin);
  for (QWidget* control : {static_cast<QWidget*>(Obs().btnFilters), static_cast<QWidget*>(Obs().btnClear),
                           static_cast<QWidget*>(Obs().btnPause), static_cast<QWidget*>(Obs().btnSave),
                           static_cast<QWidget*>(Obs().chFilters),
                           static_cast<QWidget*>(Obs().btnPin), static_cast<QWidget*>(Obs().gbFilters)})
    EXPECT_TRUE(control->isHidden()) << control->objectName().toStdString();
  EXPECT_FALSE(Obs().btnFilters->isChecked());

  Obs().ShowControlBar(true);
  EXPECT_EQ(Obs().SG->geometry().top(), kObsBarMargin);
  EXPECT_FALSE(Obs().btnPin->isHidden());
  EXPECT_FALSE(Obs().btnSave->isHidden());
  EXPECT_TRUE(Obs().gbFilters->isHidden());  // opened again only by its button
}

TEST_F(PortObserver, PinStaysAtTheRightEdge) {
  Obs().show();
  Obs().resize(600, 400);
  QCoreApplication::processEvents();
  EXPECT_EQ(Obs().btnPin->geometry().right() + 1, 600 - 10);
  EXPECT_EQ(Obs().SG->geometry().bottom() + 1 <= 400, true);
}

TEST_F(PortObserver, ClosedWindowGetsNoMoreFeeds) {
  QPointer<TfrmPortObserver> closed = CreatePortObserver(nullptr);
  closed->AutoClearTimer.stop();
  closed->InterfaceTimer.stop();
  closed->show();
  ASSERT_EQ(PortObservers().size(), 2u);
  closed->close();
  ASSERT_EQ(PortObservers().size(), 1u);

  PortObsFeedRequest(Req(1));
  EXPECT_EQ(Text(0, kObsColUID), QStringLiteral("1"));
  ASSERT_FALSE(closed.isNull());
  EXPECT_EQ(closed->SG->item(0, kObsColUID)->text(), QString());

  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(closed.isNull());  // a closed window is gone for good
  PortObsFeedAnswer(Ans(1));
  EXPECT_EQ(Text(0, kObsColAnswer), QStringLiteral("10.03.02.00.0C.45.81"));
}

TEST_F(PortObserver, DestroyedWindowLeavesTheList) {
  auto other = MakeObserver();
  ASSERT_EQ(PortObservers().size(), 2u);
  other.reset();
  ASSERT_EQ(PortObservers().size(), 1u);
  EXPECT_EQ(PortObservers()[0], &Obs());
}

// The design widths scale with the average character width of the user's
// font; the headers and a full date and time show whole in any font.
TEST(PortObserverColumns, DesignWidthsScaleWithTheAverageCharacterWidth) {
  struct Case {
    int design;
    double average;
    int width;
  };
  const Case cases[] = {{120, kObsDesignCharWidth, 120}, {140, 7.5, 175}, {55, 7.4, 68}, {200, 4.8, 160}, {35, 6.1, 36}};
  for (const Case& c : cases) EXPECT_EQ(ScaleDesignWidth(c.design, c.average), c.width) << c.design << " " << c.average;
}

TEST(PortObserverColumns, HeadersAndAFullDateShowWholeInTheUsersFont) {
  const QFont original = QApplication::font();
  for (const int pointSize : {6, 9, 14, 20}) {
    QFont font = original;
    font.setPointSize(pointSize);
    QApplication::setFont(font);
    TfrmPortObserver obs;
    obs.AutoClearTimer.stop();
    obs.InterfaceTimer.stop();
    obs.rbDinamica->click();
    TzPortObsRec rec;
    rec.Index = 12345678;
    rec.Func = 3;
    rec.Reg = 65535;
    rec.Cmd = {0x10, 0x03, 0xFF, 0xFF, 0x00, 0x01, 0x00, 0x00};
    rec.Name = QStringLiteral("Тег");
    obs.AddRequest(rec);

    const double average = AverageCharWidth(QFontMetricsF(obs.SG->font()));
    QHeaderView* header = obs.SG->horizontalHeader();
    for (int column = 0; column < kObsColumnCount; ++column) {
      EXPECT_GE(obs.SG->columnWidth(column), header->sectionSizeHint(column)) << pointSize << " pt, column " << column;
      EXPECT_GE(obs.SG->columnWidth(column), ScaleDesignWidth(kObsDesignWidths[static_cast<size_t>(column)], average));
    }
    // The time cell's own size hint is what it needs to show whole.
    const QAbstractItemView* view = obs.SG;
    EXPECT_GE(obs.SG->columnWidth(kObsColTime), view->sizeHintForColumn(kObsColTime)) << pointSize << " pt";
    // A column without a floor follows the font exactly.
    EXPECT_EQ(obs.SG->columnWidth(kObsColName), ScaleDesignWidth(200, average)) << pointSize << " pt";
  }
  QApplication::setFont(original);
}
