#pragma once

// One release tick of a peak programme meter: a rise is taken at once, a fall at most
// releasePerTick dB, with the step rounded to single precision. Returns false when the meter
// stays where it is (resting at the -50 dB floor, or already at its target); otherwise
// stores the new position in *next.
bool releaseStep(double position, double target, double releasePerTick, double *next);
