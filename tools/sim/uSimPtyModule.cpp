#include "uSimPtyModule.h"

bool TzSimPtyModule::Start() {
  if (fSlave.Running()) return true;
  Stop();  // after a failed line: join the old thread first
  if (!fPty.Open(fError, !fTtyDefaults)) return false;
  if (!fSlave.Start(fPty.MasterFd(), false)) {
    fError = "the module's thread did not start";
    fPty.Close();
    return false;
  }
  return true;
}

void TzSimPtyModule::Stop() {
  fSlave.Stop();  // the thread ends before its descriptor closes
  fPty.Close();
}
