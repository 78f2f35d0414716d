#pragma once

// How a decoded response opens the Watch level of an alarm: register polls use the lamp gate
// (DO 0 lit in the previous response and the kind's trigger enabled), stream packets the
// trigger gate (the kind's trigger running).
enum class AlarmGate { Lamp, Trigger };
