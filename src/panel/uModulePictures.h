// The pictures of the panel, drawn in code so they stay crisp at any screen
// scale: input lamps, relay contacts, the logo, the information and search
// icons, the frames of the waiting spinner and the module's body.
//
// Each picture is drawn for a device pixel ratio (1 at 100 %, 2 at 200 %);
// the icon forms carry both, so Qt picks the sharp one for the screen.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QRect>

class QPainter;

inline constexpr QSize kLampSize{32, 32};
inline constexpr QSize kRelaySize{48, 32};
inline constexpr QSize kLogoSize{96, 48};
inline constexpr QSize kInfoIconSize{16, 16};
inline constexpr QSize kFindIconSize{20, 20};
inline constexpr QSize kSpinnerSize{16, 16};
inline constexpr int kSpinnerFrames = 12;

// An input lamp, lit (green) or unlit (pale grey), 32 x 32.
QPixmap DinLampPixmap(bool aOn, qreal aDpr);
// A relay contact, closed or open, 48 x 32.
QPixmap RelayPixmap(bool aClosed, qreal aDpr);
QIcon RelayIcon(bool aClosed);
// The maker's mark in the top right corner, 96 x 48.
QPixmap LogoPixmap(qreal aDpr);
// A round blue "i", 16 x 16.
QPixmap InfoIconPixmap(qreal aDpr);
// A magnifier, 20 x 20: the search picture while idle.
QPixmap FindIconPixmap(qreal aDpr);
// The magnifier with a lit lens and a red stop mark: a search runs.
QPixmap FindBusyIconPixmap(qreal aDpr);
// A screen with a pulse train: the line observer's button.
QIcon ObserverIcon();
// The timeline button: three traces on a sheet, a cursor across them.
QIcon TimelineIcon();
// Frame aIndex (0..11) of the waiting spinner, 16 x 16.
QPixmap SpinnerPixmap(int aIndex, qreal aDpr);

// The module seen from the front: a light-grey body with darker terminal
// strips along its top and bottom edge, drawn into aBody.
void PaintModuleBody(QPainter& aPainter, const QRect& aBody);
