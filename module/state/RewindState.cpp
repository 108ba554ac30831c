#include "state/RewindState.h"

RewindState rewindState;
