#include "uTimeline.h"

#include <QBuffer>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "uButtonActivation.h"
#include "uInputConfig.h"
#include "uSaveFile.h"
#include "uTempLog.h"
#include "uTimelineText.h"
#include "uTimelineView.h"

namespace {

std::vector<size_t> Range(size_t aFirst, size_t aCount) {
  std::vector<size_t> traces(aCount);
  for (size_t i = 0; i < aCount; ++i) traces[i] = aFirst + i;
  return traces;
}

int64_t LastValue(const TzTimelineRecorder& aRecorder, size_t aTrace) {
  const auto& changes = aRecorder.Changes(aTrace);
  return changes.empty() ? kTraceUnknown : changes.back().Value;
}

QToolButton* Button(QWidget* aParent, const QString& aName, const QString& aCaption, const QString& aHint) {
  auto* button = new QToolButton(aParent);
  button->setObjectName(aName);
  button->setText(aCaption);
  button->setAccessibleName(aCaption);
  button->setToolTip(aHint);
  button->setAccessibleDescription(aHint);
  button->setFocusPolicy(Qt::StrongFocus);
  return button;
}

}  // namespace

TfrmTimeline::TfrmTimeline(QWidget* aOwner)
    : QWidget(aOwner, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                          Qt::WindowCloseButtonHint),
      fRecorder(kTlTraceCount, QDateTime::currentMSecsSinceEpoch()) {
  setObjectName(QStringLiteral("frmTimeline"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Хронология"));
  fOpenedMs = QDateTime::currentMSecsSinceEpoch();
  fSinceOpened.start();
  fClock = [this] { return fOpenedMs + fSinceOpened.elapsed(); };
  fRecorder.Clear(NowMs());

  fView = new TzTimelineView(fRecorder, this);
  fView->Clock = [this] { return NowMs(); };
  BuildControls();
  SetCounterMode(cmNone);
  resize(1280, 640);

  RefreshTimer.setInterval(kRefreshMs);
  connect(&RefreshTimer, &QTimer::timeout, this, &TfrmTimeline::RefreshTimerTimer);
  RefreshTimer.start();
}

void TfrmTimeline::SetClock(std::function<int64_t()> aClock) {
  fClock = std::move(aClock);
  fRecorder.Clear(NowMs());
  fView->update();
}

int64_t TfrmTimeline::NowMs() const { return fClock ? fClock() : QDateTime::currentMSecsSinceEpoch(); }

void TfrmTimeline::BuildControls() {
  btnFollow = Button(this, QStringLiteral("btnFollow"), QStringLiteral("Следить"),
                     QStringLiteral("Показывать последние изменения (End)"));
  btnFollow->setCheckable(true);
  btnFollow->setChecked(true);
  btnZoomIn = Button(this, QStringLiteral("btnZoomIn"), QStringLiteral("Крупнее"), QStringLiteral("Меньше времени на экране (+)"));
  btnZoomOut = Button(this, QStringLiteral("btnZoomOut"), QStringLiteral("Мельче"), QStringLiteral("Больше времени на экране (−)"));
  btnFitAll = Button(this, QStringLiteral("btnFitAll"), QStringLiteral("Всё"), QStringLiteral("Вся запись на экране (Home)"));
  btnCursor1 = Button(this, QStringLiteral("btnCursor1"), QStringLiteral("Курсор 1"), QStringLiteral("Выбрать курсор 1 (1)"));
  btnCursor2 = Button(this, QStringLiteral("btnCursor2"), QStringLiteral("Курсор 2"), QStringLiteral("Выбрать курсор 2 (2)"));
  btnPrevChange = Button(this, QStringLiteral("btnPrevChange"), QStringLiteral("Пред. изменение"),
                         QStringLiteral("Курсор на предыдущее изменение текущей строки (Ctrl+Влево)"));
  btnNextChange = Button(this, QStringLiteral("btnNextChange"), QStringLiteral("След. изменение"),
                         QStringLiteral("Курсор на следующее изменение текущей строки (Ctrl+Вправо)"));
  btnFast = Button(this, QStringLiteral("btnFast"), QStringLiteral("Быстрая запись"),
                   QStringLiteral("Опрашивать входы и реле так часто, как позволяет линия"));
  btnFast->setCheckable(true);
  cbCounters = new QComboBox(this);
  cbCounters->setObjectName(QStringLiteral("cbCounters"));
  cbCounters->addItems({QStringLiteral("Счётчики: нет"), QStringLiteral("Счётчики: значения"),
                        QStringLiteral("Счётчики: имп./с")});
  cbCounters->setAccessibleName(QStringLiteral("Счётчики"));
  btnSaveCsv = Button(this, QStringLiteral("btnSaveCsv"), QStringLiteral("CSV"), QStringLiteral("Сохраняет изменения в файл CSV"));
  btnSavePng = Button(this, QStringLiteral("btnSavePng"), QStringLiteral("PNG"), QStringLiteral("Сохраняет видимую часть как рисунок PNG"));
  labResolution = new QLabel(this);
  labResolution->setObjectName(QStringLiteral("labResolution"));
  labCursors = new QLabel(this);
  labCursors->setObjectName(QStringLiteral("labCursors"));
  labCursors->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  labCursors->setFocusPolicy(Qt::StrongFocus);

  auto* listCaption = new QLabel(QStringLiteral("Последние изменения"), this);
  lstChanges = new QListWidget(this);
  lstChanges->setObjectName(QStringLiteral("lstChanges"));
  lstChanges->setAccessibleName(QStringLiteral("Последние изменения"));
  listCaption->setBuddy(lstChanges);
  lstChanges->setFixedWidth(300);

  auto* bar = new QHBoxLayout;
  for (QWidget* w : std::initializer_list<QWidget*>{btnFollow, btnZoomIn, btnZoomOut, btnFitAll, btnCursor1, btnCursor2,
                                                     btnPrevChange, btnNextChange, btnFast, cbCounters, btnSaveCsv,
                                                     btnSavePng})
    bar->addWidget(w);
  bar->addStretch(1);
  auto* status = new QHBoxLayout;
  status->addWidget(labResolution);
  status->addSpacing(20);
  status->addWidget(labCursors, 1);
  auto* side = new QVBoxLayout;
  side->addWidget(listCaption);
  side->addWidget(lstChanges, 1);
  auto* body = new QHBoxLayout;
  body->addWidget(fView, 1);
  body->addLayout(side);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(bar);
  layout->addLayout(status);
  layout->addLayout(body, 1);

  // The view first, then the bar, the list, the readout.
  setTabOrder(fView, btnFollow);
  setTabOrder(btnSavePng, lstChanges);
  setTabOrder(lstChanges, labCursors);

  OnButtonActivated(btnFollow, this, [this] { fView->SetFollowing(btnFollow->isChecked()); });
  OnButtonActivated(btnZoomIn, this, [this] { fView->ZoomIn(); });
  OnButtonActivated(btnZoomOut, this, [this] { fView->ZoomOut(); });
  OnButtonActivated(btnFitAll, this, [this] { fView->FitAll(); });
  OnButtonActivated(btnCursor1, this, [this] { fView->ChooseCursor(0); });
  OnButtonActivated(btnCursor2, this, [this] { fView->ChooseCursor(1); });
  OnButtonActivated(btnPrevChange, this, [this] { fView->JumpToChange(false); });
  OnButtonActivated(btnNextChange, this, [this] { fView->JumpToChange(true); });
  OnButtonActivated(btnFast, this, [this] {
    fInputsInterval.Reset();
    emit FastRecordingChanged(btnFast->isChecked());
  });
  OnButtonActivated(btnSaveCsv, this, [this] { SaveCsv(); });
  OnButtonActivated(btnSavePng, this, [this] { SavePng(); });
  connect(cbCounters, &QComboBox::currentIndexChanged, this,
          [this](int aIndex) { SetCounterMode(static_cast<TzCounterMode>(aIndex)); });
  connect(fView, &TzTimelineView::ViewChanged, this, &TfrmTimeline::ShowViewState);
  ShowViewState();
  labResolution->setText(ResolutionText());
}

bool TfrmTimeline::FastRecording() const { return btnFast->isChecked(); }

void TfrmTimeline::SetCounterMode(TzCounterMode aMode) {
  if (cbCounters->currentIndex() != aMode) cbCounters->setCurrentIndex(aMode);  // comes back here
  fView->SetTraces(ShownTraces());
}

std::vector<size_t> TfrmTimeline::ShownTraces() const {
  std::vector<size_t> traces = Range(kTlFirstInput, kTlInputCount + kTlRelayCount);
  const int mode = cbCounters->currentIndex();
  if (mode == cmCounts || mode == cmRates) {
    const std::vector<size_t> counters = Range(mode == cmCounts ? kTlFirstCount : kTlFirstRate, kTlCounterCount);
    traces.insert(traces.end(), counters.begin(), counters.end());
  }
  return traces;
}

QString TfrmTimeline::ResolutionText() const {
  const std::optional<int64_t> mean = fInputsInterval.MeanMs();
  return QStringLiteral("Разрешение: ") + (mean ? QString::number(*mean) + QStringLiteral(" мс") : QStringLiteral("—"));
}

// ---- feeds ----------------------------------------------------------------

std::vector<int64_t> TfrmTimeline::LastValues(const std::vector<size_t>& aTraces) const {
  std::vector<int64_t> values;
  values.reserve(aTraces.size());
  for (size_t trace : aTraces) values.push_back(LastValue(fRecorder, trace));
  return values;
}

void TfrmTimeline::PolledAnswer(int aTagID, const std::vector<int32_t>& aValues) {
  const int64_t now = NowMs();
  std::optional<int32_t> bits;
  if (!aValues.empty()) bits = aValues.front();
  if (aTagID == kTlInputsTag || aTagID == kTlRelaysTag) {
    const bool inputs = aTagID == kTlInputsTag;
    if (inputs) fInputsInterval.Answer(now);
    const std::vector<size_t> traces =
        inputs ? Range(kTlFirstInput, kTlInputCount) : Range(kTlFirstRelay, kTlRelayCount);
    const std::vector<int64_t> before = LastValues(traces);
    RecordBits(fRecorder, traces.front(), traces.size(), now, bits);
    ListChanged(now, traces, before, inputs ? QStringLiteral("Дискретные входы") : QStringLiteral("Реле"));
  } else if (aTagID == kPulseCountersTag) {
    const int mode = cbCounters->currentIndex();
    const std::vector<size_t> shown = mode == cmNone ? std::vector<size_t>{}
                                      : Range(mode == cmCounts ? kTlFirstCount : kTlFirstRate, kTlCounterCount);
    const std::vector<int64_t> before = LastValues(shown);
    fCounterFeed.Record(fRecorder, now, aValues);
    ListChanged(now, shown, before, QStringLiteral("Счётчики"));
  } else {
    return;
  }
  if (!fView->Following()) fView->update();
}

void TfrmTimeline::ValuesLost() {
  const int64_t now = NowMs();
  fCounterFeed.Lost();
  fInputsInterval.Reset();
  if (fRecorder.RecordAllUnknown(now) > 0) AddListLine(now, QStringLiteral("Нет связи"));
  fView->update();
}

void TfrmTimeline::ListChanged(int64_t aTimeMs, const std::vector<size_t>& aTraces, const std::vector<int64_t>& aBefore,
                               const QString& aGroup) {
  std::vector<size_t> changed;
  bool allUnknown = true;
  for (size_t i = 0; i < aTraces.size(); ++i) {
    const int64_t value = LastValue(fRecorder, aTraces[i]);
    if (value == aBefore[i]) continue;
    changed.push_back(aTraces[i]);
    if (value != kTraceUnknown) allUnknown = false;
  }
  if (changed.empty()) return;
  if (allUnknown && changed.size() > 1) {
    AddListLine(aTimeMs, aGroup + QStringLiteral(": ") + TimelineUnknownText());
    return;
  }
  // Newest at the top, and the changes of one answer in the traces' order.
  for (auto trace = changed.rbegin(); trace != changed.rend(); ++trace)
    AddListLine(aTimeMs, TimelineTraceLabel(*trace) + QStringLiteral(": ") +
                             TimelineValueText(*trace, LastValue(fRecorder, *trace), TimelineUnknownText()));
}

void TfrmTimeline::AddListLine(int64_t aTimeMs, const QString& aText) {
  lstChanges->insertItem(0, TimelineTimeText(aTimeMs) + QStringLiteral("  ") + aText);
  while (lstChanges->count() > kListLimit) delete lstChanges->takeItem(lstChanges->count() - 1);
}

// ---- view state -----------------------------------------------------------

void TfrmTimeline::ShowViewState() {
  if (btnFollow->isChecked() != fView->Following()) SetCheckedQuietly(btnFollow, fView->Following());
  labCursors->setText(fView->CursorSummary());
}

void TfrmTimeline::RefreshTimerTimer() {
  labResolution->setText(ResolutionText());
  if (fView->Following()) fView->update();
}

// ---- saving ---------------------------------------------------------------

void TfrmTimeline::SaveCsv() {
  const QString suggested = SuggestedSavePath(QStringLiteral("Хронология_COM") + QString::number(fComPort),
                                              QDateTime::currentDateTime(), QStringLiteral("csv"));
  const QString path = ChooseSaveFile(this, suggested, QStringLiteral("CSV (*.csv)"));
  if (!path.isEmpty()) SaveCsvTo(path);
}

void TfrmTimeline::SavePng() {
  const QString suggested = SuggestedSavePath(QStringLiteral("Хронология_COM") + QString::number(fComPort),
                                              QDateTime::currentDateTime(), QStringLiteral("png"));
  const QString path = ChooseSaveFile(this, suggested, QStringLiteral("PNG (*.png)"));
  if (!path.isEmpty()) SavePngTo(path);
}

bool TfrmTimeline::SaveCsvTo(const QString& aPath) { return SaveFileReporting(aPath, TimelineCsv(fRecorder, ShownTraces())); }

bool TfrmTimeline::SavePngTo(const QString& aPath) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!fView->grab().toImage().save(&buffer, "PNG")) {
    AddTempLog(QStringLiteral("Ошибка: рисунок не построен"), clTempLogNavy);
    return false;
  }
  return SaveFileReporting(aPath, bytes);
}

void TfrmTimeline::closeEvent(QCloseEvent* aEvent) {
  // The normal poll returns with the window.
  if (btnFast->isChecked()) {
    SetCheckedQuietly(btnFast, false);
    emit FastRecordingChanged(false);
  }
  QWidget::closeEvent(aEvent);
}
