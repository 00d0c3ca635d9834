// The run's hold on the current folder: its lock, and what a run cut short left there.
#pragma once

// Takes the folder's lock once (later calls do nothing): error 21 and status 3
// where the folder cannot be locked; a line on standard error where its file
// system has no locks and the run goes on unguarded.
void takeFolderLock();

// Refuses to start (error 20, status 1, every file as it is) while a "tmpbra01"
// of a run cut short during a copy into a source is in the folder.
void refuseLeftoverOldText();
