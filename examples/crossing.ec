-- A pedestrian crossing. A press of the button turns the cars' light
-- yellow at the next second, red at the second after, and green again
-- after four seconds of red. Time goes by the clock `second' (true once a
-- second): the light changes only then, and a sensor counts the cars that
-- went by during each second. `passed' is nil until the first second,
-- `changed' at the first instant.
type light = (green, yellow, red).

node crossing(press : bool; second : bool; (cars : int) when second)
returns (car : light; walk : bool; waiting : int; passed : int; changed : bool);
var
  latched : bool;                          -- pressed since the last second
  last_waiting : int;
  (asked : bool) when second;              -- pressed during the second that ends
  (before, timed : light) when second;     -- the light: the second before, now
  (left_before, left : int) when second;   -- seconds of red still to come
  (total : int) when second;               -- the cars since the first second
let
  latched = press or ((false -> pre latched) and not second);
  asked = (press or (false -> pre latched)) when second;
  before = green -> pre timed;
  left_before = 0 -> pre left;
  timed = if before = green then (if asked then yellow else green)
          else if before = yellow then red
          else if left_before > 0 then red else green;
  left = if timed = red and before = yellow then 3
         else if left_before > 0 then left_before - 1 else 0;
  car = green -> (if second then current timed else pre car);
  walk = car = red;
  last_waiting = 0 -> pre waiting;
  waiting = if walk then 0 else if press or last_waiting > 0 then last_waiting + 1 else 0;
  total = cars -> pre total + cars;
  passed = current total;
  changed = car <> pre car;
tel
