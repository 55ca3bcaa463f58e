// Athlete
