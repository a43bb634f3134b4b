// The frame's glue of the timeline windows: the button beside the observer
// button, one window per click fed by the controller's poll, and the fast
// poll while any open timeline asks for it.
#include <QToolButton>

#include "uButtonActivation.h"
#include "uModulePictures.h"
#include "uPanelControls.h"
#include "uRK_7140.h"
#include "uTimeline.h"

void TfrRK_7140::BuildTimelineButton() {
  btnTimeline = new QToolButton(this);
  btnTimeline->setObjectName(QStringLiteral("btnTimeline"));
  btnTimeline->setIcon(TimelineIcon());
  btnTimeline->setIconSize(QSize(24, 24));
  const QRect observer = btnPortObserver->geometry();
  btnTimeline->setGeometry(observer.right() + 5, observer.top(), observer.width(), observer.height());
  SetHint(btnTimeline, QStringLiteral("Хронология"), QStringLiteral("Показывает входы и реле во времени"));
  btnTimeline->setEnabled(false);
  OnButtonActivated(btnTimeline, this, [this] { btnTimelineClick(); });
}

void TfrRK_7140::btnTimelineClick() {
  auto* timeline = new TfrmTimeline(this);
  timeline->SetComPort(ComPort);
  TzRK7140Controller* controller = fController.get();
  connect(controller, &TzRK7140Controller::PolledAnswer, timeline, &TfrmTimeline::PolledAnswer);
  connect(controller, &TzRK7140Controller::ValuesLost, timeline, &TfrmTimeline::ValuesLost);
  connect(timeline, &TfrmTimeline::FastRecordingChanged, this, [this] { UpdateFastPoll(); });
  const QWidget* main = window();
  timeline->move(main->x() + width() / 2 - timeline->width() / 2, main->y() + height() / 2 - timeline->height() / 2);
  timeline->show();
}

void TfrRK_7140::UpdateFastPoll() {
  bool fast = false;
  for (const TfrmTimeline* timeline : findChildren<TfrmTimeline*>(Qt::FindDirectChildrenOnly))
    if (timeline->FastRecording()) fast = true;
  fController->SetFastPoll(fast);
}
