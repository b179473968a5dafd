// Building and reading command buffers in tests, independent of the plugin's code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

std::vector<uint8_t> MakeCommand(uint32_t sizeWord, int32_t command, uint32_t length = 0);
uint32_t WordAt(const std::vector<uint8_t>& buffer, uint32_t offset);
int32_t SignedWordAt(const std::vector<uint8_t>& buffer, uint32_t offset);
void PutWord(std::vector<uint8_t>& buffer, uint32_t offset, uint32_t value);
// The bytes of a text whose offset field lies at base + field, counted from base.
std::string TextAt(const std::vector<uint8_t>& buffer, uint32_t base, uint32_t field);

// Requests of the three menu commands, at their smallest sizes.
std::vector<uint8_t> StartItemRequest(int32_t menuId);
std::vector<uint8_t> ItemDescRequest(int32_t itemId);
// The key's bytes follow the fixed part.
std::vector<uint8_t> ActionRequest(int32_t sessionId, int32_t itemId, const std::string& key);
