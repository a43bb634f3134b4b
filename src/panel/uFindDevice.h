// The search component of the panel: the bus search with its own port
// engine, whose answers reach the user-interface thread through Qt's event
// loop. One exists from program start to its end (FindDeviceComponent); it
// has no window.
#pragma once

#include <QObject>

#include "uBusSearch.h"

class TfrmFindDevice : public QObject, public TzBusSearch {
  Q_OBJECT

public:
  explicit TfrmFindDevice(QObject* aParent = nullptr, TzFindEngineFactory aFactory = {});
};

// The program's search component (null before it is made or after it is gone).
void SetFindDeviceComponent(TfrmFindDevice* aComponent);
TfrmFindDevice* FindDeviceComponent();
