// Miscl
