-- Flows on a boolean clock.
-- x only exists at the instants where tick is true. sum adds up the values
-- of x on that same clock; held brings the latest sum back to the base clock
-- with current, and doubled samples a base-clock flow with when.
node clocked(tick : bool; (x : int) when tick; y : int) returns (held : int);
var
  (sum : int) when tick;       -- running total of x, on the clock tick
  (doubled : int) when tick;   -- 2 * y, taken only when tick is true
let
  doubled = (2 * y) when tick;
  sum = x -> pre sum + x + doubled;
  held = current sum;
tel
