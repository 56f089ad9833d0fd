#pragma once

// Lets pending window events run once, so that the window repaints and takes
// input during long work on its single thread.
void LetWindowEventsRun();

// True while a command is letting window events run, that is, while an
// event being handled now interrupted a command that has not ended.
bool IsInsideCommandYield();
