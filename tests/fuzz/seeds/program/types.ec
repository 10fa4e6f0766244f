-- Declared types, constants, external functions, a tuple equation and
-- assertions.
type speed;                              -- an external (abstract) type
type mode = (idle, running, stopped).    -- an enumerated type
const limit : int; (scale : real) when true.

-- Functions known only by their signature.
function to_speed(raw : real) returns (conv : speed);
function faster(a : speed; b : speed) returns (res : bool);
-- A function with two results, used through a tuple equation.
function split(num : int) returns (quot : int; remain : int)

node types(m : mode; v : int; r : real) returns (ok : bool; q : int);
var
  rest : int;
  s : speed;
let
  s = to_speed(r * scale);
  (q, rest) = split(v);
  ok = if m = running then faster(s, to_speed(real v))
       else rest % 2 = 0;
  assert v >= 0;
  assert not (m = stopped) or v < limit;
tel.
