// Scenario files: the gateway's settings, the meters on its M-Bus line and the activated
// devices as JSON (format in sim/scenarios/README.md).
#pragma once

#include <string>

#include "sim/gateway_model.h"

namespace orvio::sim {

// Applies a scenario to `model`; what the scenario leaves out keeps the model's value, except
// that "meters" replaces the whole line and "activated" the whole device table. `base_dir`
// resolves relative "telegram_file" paths. Returns an empty string or the error.
std::string ApplyScenario(const std::string& json_text, const std::string& base_dir,
                          GatewayModel* model);

// A gateway with the built-in demo scenario (sim/scenarios/demo.json).
GatewayModel DemoModel();
const char* DemoScenarioText();

}  // namespace orvio::sim
