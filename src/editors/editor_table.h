#pragma once
// Fills the editor table (core/kdeditorreg.h) with the object editors of this layer. The
// program calls it once at start-up; each editor adds its line to it when it lands.
void RegisterEditors();
