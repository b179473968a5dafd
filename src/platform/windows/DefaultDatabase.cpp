#include "platform/DefaultDatabase.h"

const char* const DefaultDatabaseName = "127.0.0.1:c:\\bases\\vo.fdb";
