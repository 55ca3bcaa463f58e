// Record
