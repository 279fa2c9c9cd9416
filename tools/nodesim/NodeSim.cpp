// The node simulator: placeholder until its sources land.
