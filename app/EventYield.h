#pragma once

// Lets pending window events run once, so that the window repaints and takes
// input during long work on its single thread.
void LetWindowEventsRun();
