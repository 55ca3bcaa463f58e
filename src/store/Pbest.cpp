// Pbest
