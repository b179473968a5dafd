#include "dynmenu/uIBDynSrvWorker.h"
#include "worker/uPlugInWorker.h"

std::unique_ptr<tPlugInWorker> tPlugInWorker::CreateWorker() {
  return std::make_unique<tIB_DynMenuWorker>();
}
