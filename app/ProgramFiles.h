// The files the program keeps in its own folder besides the log: the
// "Sent Pictures" folder and the remembered mail address "email.dat".
// Failures are silent: a missing or unreadable file reads as empty, an
// unwritable one is skipped.
#pragma once
#include <string>

// Creates program folder + "\Sent Pictures" (an existing one is normal) and
// returns its path, in UTF-16 like every file path of the program.
std::wstring CreateSentPicturesFolder();
// The first word of "email.dat" (at most 499 characters), or "".
std::string LoadMailAddress();
// Replaces the whole of "email.dat" with the address.
void SaveMailAddress(const std::string& address);
