#pragma once

#include <QString>

#include <cstdint>

#include "shell/globals.h"

namespace orvane {

// The stored form: application "Orvane", section "Types".
inline const QString kTypesSection = QStringLiteral("Types");
inline const QString kCountKey = QStringLiteral("Number Of Types");

// The record at a catalogue position; throws Failure outside the catalogue.
TypeRecord& TypeAt(Globals& g, int position);

// "Number Of Types" as a count: optional blanks around an optional "+" and
// decimal digits, at most 32,767. Throws Failure for anything else.
std::int16_t ParseCount(const QString& text);

void LoadTypes(Globals& g);

// Writes the whole catalogue, skipping steps that fail. Returns whether the
// store could be written.
bool SaveTypes(Globals& g);

void FillTypeCombos(Globals& g);

void RemoveType(Globals& g, int position);

// The removal itself, without its own failure path or refill: records after
// the position move down by one and the count drops.
void RemoveRecord(Globals& g, int position);

// Makes room in the storage for a position, keeping the records before it.
void MakeRoom(Globals& g, int position);

// Appends a whole type after the others and refills both lists. Throws
// Failure, with nothing shown or counted, when the count is at its limit.
void AddType(Globals& g, const TypeRecord& record);

} // namespace orvane
