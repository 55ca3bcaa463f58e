// Result
