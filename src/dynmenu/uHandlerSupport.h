// What the three menu handlers share besides the worker's own members.
#pragma once

#include <cstdint>
#include <string>

class tDBQuery;

// The message of the error being handled; call only inside a catch block.
std::string CurrentErrorMessage();

// Sets the query's text to "select *" from a stored procedure called with one number.
void SetProcedureSelect(tDBQuery& query, const char* procedure, int32_t number);
