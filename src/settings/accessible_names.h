// What a screen reader calls the window's controls whose caption does not
// name them (fields, lists, gauges, panels): the language pack's "Names"
// section, else the English built in here.
#pragma once

#include <string>
#include <vector>

class LanguagePack;

// The controls named here, by object name, in no particular order.
const std::vector<std::string>& namedForScreenReaders();
// The control's name under the pack (none: the English one); empty when the
// control is not one of namedForScreenReaders().
std::string accessibleNameOf(const std::string& component, const LanguagePack* pack);
