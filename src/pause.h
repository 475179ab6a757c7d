#ifndef PAUSE_H
#define PAUSE_H

// Blocks the process for the given number of whole seconds and prints nothing.
// The test build links another definition that records the pause instead.
void pause_seconds(unsigned seconds);

#endif
