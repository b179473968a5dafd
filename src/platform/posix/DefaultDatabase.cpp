#include "platform/DefaultDatabase.h"

const char* const DefaultDatabaseName = "127.0.0.1:/var/lib/firebird/3.0/data/vo.fdb";
