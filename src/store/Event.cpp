// Event
