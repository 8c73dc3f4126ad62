// The commands of the factory option table. Each writes its own answer.
#pragma once

#include "modules/system/factory_options.h"

namespace factory_option {

// Writes one answer of the run. One request may run several options; their
// answers follow one another after a single plain-text header.
void answer(const char* text);

void setlang(const HttpOption& option);
void setdefault(const HttpOption& option);
void decode(const HttpOption& option);
void hotplug(const HttpOption& option);
void oemclean(const HttpOption& option);
void paratest(const HttpOption& option);
void chipupdate(const HttpOption& option);
void modelupdate(const HttpOption& option);
void softversion(const HttpOption& option);

}  // namespace factory_option
