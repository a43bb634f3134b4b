#include "uSimPtyModule.h"

bool TzSimPtyBus::Start() {
  if (fSlave.Running()) return true;
  Stop();  // after a failed line: join the old thread first
  if (!fPty.Open(fError, !fTtyDefaults)) return false;
  if (fWantTap && !fTap.Open(fError)) {
    fPty.Close();
    return false;
  }
  fSlave.SetTap(fWantTap ? &fTap : nullptr);
  if (!fSlave.Start(fPty.MasterFd(), false)) {
    fError = "the module's thread did not start";
    Stop();
    return false;
  }
  return true;
}

void TzSimPtyBus::Stop() {
  fSlave.Stop();  // the thread ends before its descriptors close
  fPty.Close();
  fTap.Close();
}
