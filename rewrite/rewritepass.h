// The two rewrite passes: every listed source file rewritten in place.
#pragma once

// Normal mode: plain errors expanded, structured errors written in long form.
void rewriteSources();

// ASM mode: every error expanded as a plain branch.
void rewriteAsmSources();
