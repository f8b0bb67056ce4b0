// The kit counts the work in progress: every message posted and not yet
// handled, and every start-up not yet finished. An alert that waits for its
// answer is not work in progress: the program then waits for its user. A user
// that acts on the program (a script, a test) waits for this count to reach
// zero before each action, so each action meets a program at rest.
#pragma once

void activity_begin();
void activity_end();
// Waits at most the given milliseconds; returns true when idle.
bool activity_wait_idle_for(int milliseconds);

// Work the user may stop while it goes on (a print job writing to its
// printer): the message that does it is still work in progress, but a user's
// action that is meant to stop it (a menu item that StopsWork) waits only for
// the rest.
void activity_stoppable_begin();
void activity_stoppable_end();
// As activity_wait_idle_for, with the stoppable work taken for rest.
bool activity_wait_rest_for(int milliseconds);
