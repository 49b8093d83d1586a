#pragma once
// Splitting a text at a one-character separator. Separators at the start are
// skipped, at the end ignored, and a run of them counts as one, so empty
// fields never count: "a;;b;" with ";" has two fields, the second "b".
#include <string>

namespace vz::app {

// The number of non-empty fields; 0 for an empty text.
int CountTextFields(const std::string& text, char separator);

// The n-th non-empty field, counting from 1; empty when there is none.
std::string ExtractTextField(const std::string& text, int n, char separator);

}  // namespace vz::app
