#pragma once

// Initialises COM for the calling thread in the multithreaded apartment; the result does not matter.
void InitComForThread();
