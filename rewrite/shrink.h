// Gives back what earlier runs no longer need: every group of lines the tool wrote, put back.
#pragma once

#include <string>
#include <unordered_map>

// How often each generated label "..lopN" is named in a program, by N.
using LabelUses = std::unordered_map<int, int>;

// Adds to `uses` every place where `text` names a generated label: "..lop" in any
// letter case and a number without leading zeros, comments included, so that a
// label named anywhere outside its own group keeps the group.
void countLabelUses(const std::string& text, LabelUses& uses);

// `text` with every group of lines that the tool wrote put back to the line it
// came from, recognised by its exact shape only: an expansion (single, or a chain
// whose lines each get their own branch back), a BRA made JMP, a long form of a
// structured statement. A comment line ";" + text directly above a group's line
// that splits to the same branch and target is that line's old text: it comes
// back as it stands and the copy goes. A group stays when its labels are named
// anywhere else (`uses` counts the whole program), when a line inside it
// changed, or when a "*+n" skip may jump over it. Every other line stays byte
// for byte; a restored line keeps the line end of the line it replaces.
std::string shrinkText(const std::string& text, const LabelUses& uses);
