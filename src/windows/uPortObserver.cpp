// The observer's behaviour: filling the grid from the feeds, clearing,
// the automatic row limit, the control bar, the copy of rows and saving them.
#include "uPortObserver.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QDateTime>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QToolButton>

#include <algorithm>

#include "uButtonActivation.h"
#include "uCsvText.h"
#include "uLineName.h"
#include "uSaveFile.h"
#include "uUtils.h"

uint32_t PortObsTickCount() { return TickCount32(); }

namespace {

QString RegisterText(int32_t aReg) {
  return QString::number(aReg) + QStringLiteral(" (0x") + QString::number(aReg, 16).toUpper() + QLatin1Char(')');
}

QString FunctionText(int32_t aFunc) {
  return QStringLiteral("%1").arg(aFunc, 2, 16, QLatin1Char('0')).toUpper() + QLatin1Char('h');
}

}  // namespace

TfrmPortObserver::~TfrmPortObserver() { PortObsRemove(this); }

void TfrmPortObserver::SetComPort(int32_t aValue) {
  fComPort = aValue;
  SetLine(LineName(aValue));
}

void TfrmPortObserver::SetLine(const QString& aEndpoint) {
  fLine = LineName(aEndpoint);
  setWindowTitle(QStringLiteral("Наблюдение за линией ") + fLine);
}

bool TfrmPortObserver::StaticMode() const { return rbStatica->isChecked(); }
bool TfrmPortObserver::HexMode() const { return rbHex->isChecked(); }

const TzRowTick* TfrmPortObserver::RowTick(int aRow) const {
  if (aRow < 0 || aRow >= static_cast<int>(fRowTicks.size())) return nullptr;
  return fRowTicks[static_cast<size_t>(aRow)].get();
}

QString TfrmPortObserver::Cell(int aRow, int aColumn) const {
  const QTableWidgetItem* item = SG->item(aRow, aColumn);
  return item ? item->text() : QString();
}

void TfrmPortObserver::SetCell(int aRow, int aColumn, const QString& aText) {
  if (QTableWidgetItem* item = SG->item(aRow, aColumn)) {
    item->setText(aText);
    return;
  }
  auto* item = new QTableWidgetItem(aText);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  SG->setItem(aRow, aColumn, item);
}

void TfrmPortObserver::SelectRow(int aRow) {
  const int column = std::max(SG->currentColumn(), 0);
  SG->setCurrentCell(aRow, column);
  if (QTableWidgetItem* item = SG->item(aRow, column)) SG->scrollToItem(item);
}

bool TfrmPortObserver::PassesFilters(const TzPortObsRec& aRec) const {
  if (!chFilters->isChecked()) return true;
  if (chFilterFunc->isChecked() && cbFunc->currentIndex() + 1 != aRec.Func) return false;
  if (chFilterReg->isChecked() && txtReg->value() != aRec.Reg) return false;
  return true;
}

int TfrmPortObserver::FindStaticRow(int32_t aReg) const {
  for (size_t row = 0; row < fRowTicks.size(); ++row)
    if (fRowTicks[row] && fRowTicks[row]->Reg == aReg) return static_cast<int>(row);
  return -1;
}

// A fresh row: the empty first row after a clear, otherwise a new one at the
// bottom; its cells are emptied and its old record dropped.
int TfrmPortObserver::TakeRow() {
  if (SG->rowCount() == 0 || !Cell(0, kObsColUID).isEmpty()) {
    SG->insertRow(SG->rowCount());
    fRowTicks.emplace_back();
  }
  const int row = SG->rowCount() - 1;
  for (int column = 0; column < kObsColumnCount; ++column) SetCell(row, column, QString());
  fRowTicks[static_cast<size_t>(row)].reset();
  return row;
}

void TfrmPortObserver::AddRequest(const TzPortObsRec& aRec) {
  if (btnPause->isChecked() || !PassesFilters(aRec)) return;
  const QString hex = BytesToHexText(aRec.Cmd);
  const QString dec = BytesToDecText(aRec.Cmd);
  const bool lastSelected = SG->currentRow() == SG->rowCount() - 1;

  int row = StaticMode() ? FindStaticRow(aRec.Reg) : -1;
  if (row < 0) row = TakeRow();

  SetCell(row, kObsColUID, QString::number(aRec.Index));
  // Milliseconds: a poll sends several requests within one second.
  SetCell(row, kObsColTime, QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy hh:mm:ss.zzz")));
  SetCell(row, kObsColReg, RegisterText(aRec.Reg));
  SetCell(row, kObsColName, aRec.Name);
  SetCell(row, kObsColFunc, FunctionText(aRec.Func));
  SetCell(row, kObsColRequest, HexMode() ? hex : dec);

  std::unique_ptr<TzRowTick>& tick = fRowTicks[static_cast<size_t>(row)];
  if (!tick) tick = std::make_unique<TzRowTick>();
  tick->TickCount = TickSource();
  tick->RequestHex = hex;
  tick->RequestDec = dec;
  tick->Name = aRec.Name;
  tick->Reg = aRec.Reg;
  tick->Connection = aRec.Connection;

  if (!StaticMode() && lastSelected) SelectRow(row);
}

void TfrmPortObserver::AddAnswer(const TzPortObsRec& aRec) {
  const QString hex = BytesToHexText(aRec.Cmd);
  const QString dec = BytesToDecText(aRec.Cmd);
  const QString uid = QString::number(aRec.Index);
  int row = -1;
  // Each connection's engine numbers its requests from the start again: a row
  // of an earlier connection with the same UID is not this answer's.
  for (int r = 0; r < SG->rowCount() && row < 0; ++r) {
    const TzRowTick* tick = fRowTicks[static_cast<size_t>(r)].get();
    if (Cell(r, kObsColUID) == uid && (tick == nullptr || tick->Connection == aRec.Connection)) row = r;
  }
  if (row < 0) return;

  uint32_t elapsed = 0;
  if (TzRowTick* tick = fRowTicks[static_cast<size_t>(row)].get()) {
    elapsed = TickSource() - tick->TickCount;
    tick->AnswerHex = hex;
    tick->AnswerDec = dec;
  }
  SetCell(row, kObsColValue, aRec.Value);
  SetCell(row, kObsColElapsed, QString::number(elapsed) + QStringLiteral(" мс"));
  const QString& text = HexMode() ? hex : dec;
  SetCell(row, kObsColAnswer, text);
  WidenAnswerColumn(text);
}

void TfrmPortObserver::WidenAnswerColumn(const QString& aText) {
  const int wanted = QFontMetrics(SG->font()).horizontalAdvance(aText) + 10;
  if (SG->columnWidth(kObsColAnswer) < wanted) SG->setColumnWidth(kObsColAnswer, wanted);
}

void TfrmPortObserver::NotationClick() {
  const bool hex = HexMode();
  for (size_t row = 0; row < fRowTicks.size(); ++row) {
    const TzRowTick* tick = fRowTicks[row].get();
    if (!tick) continue;
    const int r = static_cast<int>(row);
    SetCell(r, kObsColRequest, hex ? tick->RequestHex : tick->RequestDec);
    SetCell(r, kObsColAnswer, hex ? tick->AnswerHex : tick->AnswerDec);
  }
}

void TfrmPortObserver::Clear() {
  SetCheckedQuietly(btnClear, false);
  if (Removing) return;
  Removing = true;
  SG->setRowCount(1);
  for (int column = 0; column < kObsColumnCount; ++column) SetCell(0, column, QString());
  fRowTicks.clear();
  fRowTicks.emplace_back();
  SG->setCurrentCell(0, 0);
  Removing = false;
}

void TfrmPortObserver::rbStaticaClick() {
  if (StaticMode()) Clear();
}

void TfrmPortObserver::chFiltersClick() {
  if (StaticMode() && chFilters->isChecked()) Clear();
}

void TfrmPortObserver::chFilterFuncOrRegClick() {
  if (!StaticMode() || !chFilters->isChecked()) return;
  if (chFilterFunc->isChecked()) Clear();
  if (chFilterReg->isChecked()) Clear();
}

void TfrmPortObserver::cbFuncChange() {
  if (StaticMode() && chFilters->isChecked() && chFilterFunc->isChecked()) Clear();
}

void TfrmPortObserver::txtRegChange() {
  if (StaticMode() && chFilters->isChecked() && chFilterReg->isChecked()) Clear();
}

void TfrmPortObserver::DeleteOldestRows(int aCount) {
  const int count = std::min(aCount, SG->rowCount());
  SG->model()->removeRows(0, count);
  fRowTicks.erase(fRowTicks.begin(), fRowTicks.begin() + count);
}

void TfrmPortObserver::AutoClearTimerTimer() {
  if (Removing) return;
  const bool on = btnAutoLimit->isChecked();
  const int limit = on ? kObsLimitOn : kObsLimitOff;
  const int cut = on ? kObsCutOn : kObsCutOff;
  if (SG->rowCount() + 1 <= limit) return;  // the header row counts
  Removing = true;
  DeleteOldestRows(cut);
  Removing = false;
}

void TfrmPortObserver::InterfaceTimerTimer() {
  if (btnPin->isChecked()) return;
  ShowControlBar(frameGeometry().contains(QCursor::pos()));
}

void TfrmPortObserver::ShowControlBar(bool aPointerInside) {
  fGridTop = aPointerInside ? kObsBarMargin : kObsHiddenMargin;
  for (QWidget* control : {static_cast<QWidget*>(btnFilters), static_cast<QWidget*>(btnClear),
                           static_cast<QWidget*>(btnPause), static_cast<QWidget*>(btnSave),
                           static_cast<QWidget*>(chFilters), static_cast<QWidget*>(btnPin)})
    control->setVisible(aPointerInside);
  if (!aPointerInside) {
    gbFilters->hide();
    btnFilters->setChecked(false);
  }
  PlaceGrid();
}

QStringList TfrmPortObserver::GridHeader() const {
  QStringList header;
  for (int column = 0; column < kObsColumnCount; ++column) {
    const QTableWidgetItem* item = SG->horizontalHeaderItem(column);
    header << (item ? item->text() : QString());
  }
  return header;
}

QStringList TfrmPortObserver::RowTexts(int aRow) const {
  QStringList cells;
  bool empty = true;
  for (int column = 0; column < kObsColumnCount; ++column) {
    cells << Cell(aRow, column);
    empty = empty && cells.constLast().isEmpty();
  }
  return empty ? QStringList() : cells;
}

QList<QStringList> TfrmPortObserver::GridRows() const {
  QList<QStringList> rows;
  for (int row = 0; row < SG->rowCount(); ++row)
    if (QStringList cells = RowTexts(row); !cells.isEmpty()) rows << cells;
  return rows;
}

QString TfrmPortObserver::SelectedRowsText() const {
  QList<int> selected;
  for (const QModelIndex& index : SG->selectionModel()->selectedRows()) selected << index.row();
  std::sort(selected.begin(), selected.end());
  QStringList lines;
  for (const int row : selected) {
    QStringList cells = RowTexts(row);
    if (cells.isEmpty()) continue;
    // A tab or line break inside a cell would split the row when pasted.
    for (QString& cell : cells)
      for (QChar& ch : cell)
        if (ch == u'\t' || ch == u'\r' || ch == u'\n') ch = u' ';
    lines << cells.join(u'\t');
  }
  return lines.join(QStringLiteral("\r\n"));
}

void TfrmPortObserver::CopySelectedRows() {
  const QString text = SelectedRowsText();
  if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

void TfrmPortObserver::SaveGrid() {
  const QString suggested =
      SuggestedSavePath(QStringLiteral("Наблюдение_") + LineFileName(fLine), QDateTime::currentDateTime(),
                        QStringLiteral("csv"));
  const QString path = ChooseSaveFile(this, suggested, QStringLiteral("CSV (*.csv)"));
  if (!path.isEmpty()) SaveGridTo(path);
}

bool TfrmPortObserver::SaveGridTo(const QString& aPath) {
  return SaveFileReporting(aPath, CsvFile(GridHeader(), GridRows()));
}

bool TfrmPortObserver::eventFilter(QObject* aWatched, QEvent* aEvent) {
  if (aWatched == SG && (aEvent->type() == QEvent::KeyPress || aEvent->type() == QEvent::KeyRelease)) {
    const auto* key = static_cast<QKeyEvent*>(aEvent);
    // The key of "C" whatever the layout: Latin C or the Cyrillic letter on it.
    const bool isC = key->key() == Qt::Key_C || key->key() == 0x0421;
    if (isC && (key->modifiers() & Qt::ControlModifier)) {
      if (aEvent->type() == QEvent::KeyRelease) CopySelectedRows();
      return true;  // the grid's own copy of one cell stays out
    }
  }
  return QWidget::eventFilter(aWatched, aEvent);
}

void TfrmPortObserver::closeEvent(QCloseEvent* aEvent) {
  PortObsRemove(this);
  AutoClearTimer.stop();
  InterfaceTimer.stop();
  QWidget::closeEvent(aEvent);
}

TfrmPortObserver* CreatePortObserver(QWidget* aOwner) {
  auto* observer = new TfrmPortObserver(aOwner);
  PortObsAdd(observer);
  return observer;
}
