#pragma once

// Secrets live in this process's memory: no core file, and no other process of the user may read
// it through ptrace or /proc.
void DisableCoreDumps();
