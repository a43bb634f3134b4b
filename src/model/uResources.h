// Named binary resources compiled into the program.
//
// The build turns each file of resources/ that the program embeds (the
// register template "XMLDATA") into a byte array; FindResourceData finds it
// by name (not "FindResource": the Win32 headers make that name a macro).
// RegisterResource adds a resource at run time (tests register their own
// templates this way); a registered name shadows a built-in one until
// UnregisterResource removes it.
//
// The returned views stay valid until the same name is registered again or
// unregistered; built-in resources stay valid for the whole run.
#pragma once

#include <optional>
#include <string_view>

// The bytes of the resource named aName (exact, case-sensitive), or nothing.
std::optional<std::string_view> FindResourceData(std::string_view aName);

// Adds (or replaces) the run-time resource aName with a copy of aBytes.
void RegisterResource(std::string_view aName, std::string_view aBytes);

// Removes the run-time resource aName; true when there was one.
bool UnregisterResource(std::string_view aName);
