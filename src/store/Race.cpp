// Race
