#include "dynmenu/uIBDynSrvWorker.h"
#include "worker/uPlugInWorker.h"

std::unique_ptr<tPlugInWorker> tPlugInWorker::CreateWorker(tPlugInLog& log,
                                                           tHourlyFigures& figures) {
  return std::make_unique<tIB_DynMenuWorker>(log, figures);
}
