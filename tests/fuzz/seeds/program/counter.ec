-- A counter with reset.
-- count goes up by one at every instant where incr is true, and comes back
-- to 0 at every instant where reset is true (reset wins over incr).
node counter(incr : bool; reset : bool) returns (count : int);
var
  previous : int;   -- the value of count at the previous instant (0 at first)
let
  previous = 0 -> pre count;
  count = if reset then 0
          else if incr then previous + 1
          else previous;
tel
