#pragma once
// ".fxp" program files written byte by byte (big-endian), independently of
// the component's own writer.
#include <cstdint>
#include <string>
#include <vector>

void put_be32(std::vector<unsigned char>& b, std::uint32_t v);
void put_text(std::vector<unsigned char>& b, const char* t);
// A program file header for `id`, with a 28-byte name field.
std::vector<unsigned char> fxp_header(const char* fx_magic, std::int32_t id, std::int32_t params,
                                      const std::string& name);
// A whole parameter file ("FxCk") holding `values`.
std::vector<unsigned char> fxp_parameters(std::int32_t id, const std::vector<float>& values);
