// The frame's guiding pictures: the arrow that bounces beside "СОМ-порт"
// while nothing is connected, the festive hat of the winter holidays, and the
// message behind the logo. (The connecting dots and the waiting picture live
// with the connection code.)
#include <QDate>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>

#include <functional>

#include "uPanelWindows.h"
#include "uRK_7140.h"
#include "uUtils.h"
#include "uVersion.h"

namespace {

// Hands every mouse-up of a widget to a function (the logo is a label).
class TzMouseUpFilter : public QObject {
public:
  TzMouseUpFilter(QObject* aParent, std::function<void(Qt::KeyboardModifiers)> aOnMouseUp)
      : QObject(aParent), fOnMouseUp(std::move(aOnMouseUp)) {}

protected:
  bool eventFilter(QObject*, QEvent* aEvent) override {
    if (aEvent->type() == QEvent::MouseButtonRelease)
      fOnMouseUp(static_cast<QMouseEvent*>(aEvent)->modifiers());
    return false;
  }

private:
  std::function<void(Qt::KeyboardModifiers)> fOnMouseUp;
};

// The version goes in front of it (uVersion.h).
const char kLogoMessage[] =
    "Настраивает и опрашивает модуль ввода-вывода RK-7140 по Modbus RTU через RS-485: "
    "входы, реле, ШИМ и логику выходов, фильтры, счётчики импульсов, часы и сетевые настройки модуля.\r\n"
    "\r\n"
    "Без модуля под рукой: rk7140-panel --demo (в исходниках ./run.sh) запускает виртуальный модуль rk7140-sim "
    "на псевдотерминале.\r\n"
    "Его ключи: --link ПУТЬ, --address N, --baud N, --format 8N1|8O1|8E1|8N2, --inputs МАСКА, "
    "--static-inputs, --tty-defaults, --exec КОМАНДА, --verbose; "
    "команда help на его стандартном вводе перечисляет команды управления и неисправностей.";

}  // namespace

void TfrRK_7140::BuildAnimations() {
  // The arrow bounces just right of "СОМ-порт", vertically centred on it,
  // behind the side panels that open there.
  imgArrow = new TzArrowPicture(this);
  const QRect button = btnComPort->geometry();
  Arrow.Low = button.right() + 2;
  Arrow.High = Arrow.Low + 7;
  Arrow.Left = Arrow.Low;
  Arrow.Step = 1;
  imgArrow->move(Arrow.Left, button.y() + (button.height() - imgArrow->height()) / 2);
  imgArrow->hide();
  imgArrow->lower();

  imgHat = new TzHolidayHat(this);
  const QRect body = ModuleBodyRect();
  // On the module's top-left corner, right of the arrow's range.
  imgHat->move(body.left() + 32, body.top() - 18);
  imgHat->lower();  // under the arrow
  ShowHolidayHat();

  imgLogo->installEventFilter(new TzMouseUpFilter(this, [this](Qt::KeyboardModifiers aModifiers) {
    imgLogoMouseUp(aModifiers);
  }));

  ArrowTimer.setInterval(30);
  connect(&ArrowTimer, &QTimer::timeout, this, &TfrRK_7140::ArrowTimerTimer);
}

void TfrRK_7140::ShowHolidayHat() {
  const QDate today = QDate::currentDate();
  imgHat->setVisible(IsHolidaySeason(today.month(), today.day()));
}

void TfrRK_7140::ArrowTimerTimer() {
  const bool show = !fController->Connected();
  imgArrow->setVisible(show);
  if (show) imgArrow->move(Arrow.Tick(), imgArrow->y());
}

void TfrRK_7140::imgLogoMouseUp(Qt::KeyboardModifiers aModifiers) {
  if (!LogoClicks.MouseUp(aModifiers & Qt::ShiftModifier, aModifiers & Qt::ControlModifier)) return;
  const QString version = QStringLiteral("Панель управления RK-7140, версия %1.\r\n").arg(QString::fromUtf8(kPanelVersion));
  ShowPanelBox(this, TzPanelBoxKind::Information, QStringLiteral("Информация"), version + QString::fromUtf8(kLogoMessage));
}
