// The JSON of the records layer: nlohmann's document, ordered, so that keys come out as written.
#pragma once

#include <nlohmann/json.hpp>

namespace kd215 {

using Json = nlohmann::ordered_json;

}  // namespace kd215
