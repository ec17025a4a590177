// Words of a text as Translate Toolkit's pocount counts them, so that the
// bridge's figures and a translator's tools agree.
#pragma once

#include <cstddef>
#include <string>

// The words of `text`: first every <br>, <br/> or <br /> becomes a line
// break and every other XML tag (<b>, <a href="x">, </b>, <x/>) is removed;
// then each dot between two characters that are not digits, together with
// those two characters, becomes a space ("e.g." keeps one dot, "4.50"
// stays whole); then the text splits at white space and each piece less the
// punctuation at its ends (.,;:!?-@#$%^*_()[]{}/\'`"<> and the quotes,
// dashes and signs of other scripts that pocount strips) is a word if
// anything is left. Letters and digits beyond ASCII count as pocount's do
// for the Latin, Greek, Cyrillic and other alphabetic scripts.
size_t CountWords(const std::u16string& text);
