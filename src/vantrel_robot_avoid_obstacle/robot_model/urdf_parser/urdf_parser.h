#pragma once

#include <memory>
#include <string>

#include "robot_model/urdf_parser/model.h"

namespace urdf
{
// Null when the file cannot be read or the description is unusable; every problem is logged.
std::shared_ptr<ModelInterface> parseURDFFile(const std::string& path);
std::shared_ptr<ModelInterface> parseURDF(const std::string& xml_text);

// Accepts an absent version and 1.0; throws std::runtime_error otherwise.
void parseVersion(const char* version);

// Binds a visual's material by name to the model's material, or registers the visual's own.
void assignMaterial(const std::shared_ptr<Visual>& visual, ModelInterface& model, const std::string& link_name);
}  // namespace urdf
