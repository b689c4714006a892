-- Owners other than the loading role, and privileges.
DO $$
BEGIN
    EXECUTE format('GRANT CONNECT, TEMPORARY ON DATABASE %I TO sample_staff, sample_auditor', current_database());
END
$$;

ALTER TABLE hr.room_bookings OWNER TO sample_hr;
ALTER TABLE hr.meeting_rooms OWNER TO sample_hr;
ALTER MATERIALIZED VIEW reporting.monthly_sales OWNER TO sample_manager;
ALTER VIEW reporting."Product Ranking" OWNER TO sample_manager;
ALTER FUNCTION sales.top_customers(integer, date) OWNER TO sample_manager;

GRANT USAGE ON SCHEMA sales, hr, inventory, reporting, "経理" TO sample_staff;
GRANT USAGE ON SCHEMA sales, "経理" TO sample_auditor;
GRANT CREATE ON SCHEMA reporting TO sample_sales;

GRANT SELECT ON ALL TABLES IN SCHEMA sales, inventory TO sample_readonly;
GRANT SELECT ON reporting.monthly_sales, reporting."Product Ranking" TO sample_readonly;
GRANT SELECT, INSERT, UPDATE, DELETE ON sales.orders, sales.order_lines TO sample_sales;
GRANT SELECT, INSERT ON sales."ContactHistory" TO sample_sales;
GRANT USAGE, SELECT ON SEQUENCE sales.orders_order_id_seq TO sample_sales;
GRANT USAGE ON SEQUENCE sales.ticket_no_seq TO sample_staff;
GRANT SELECT, UPDATE ("入金済") ON "経理"."請求書" TO sample_auditor;

-- The manager may pass on rights to customers; the clerk receives them from the manager.
GRANT SELECT, UPDATE ON sales.customers TO sample_manager WITH GRANT OPTION;
GRANT SELECT (customer_id, customer_code, name, email, phone), UPDATE ("CustomerNote", phone)
    ON sales.customers TO sample_manager WITH GRANT OPTION;
SET ROLE sample_manager;
GRANT SELECT ON sales.customers TO sample_clerk;
GRANT UPDATE ("CustomerNote", phone) ON sales.customers TO sample_clerk;
RESET ROLE;

-- Column privileges on the employee table: everybody sees the names, HR sees and sets pay.
GRANT SELECT ("社員番号", "氏名", "部署コード", email) ON hr."社員" TO sample_staff;
GRANT SELECT, UPDATE ("給与", "部署コード", "上司") ON hr."社員" TO sample_hr;
GRANT SELECT ON hr."部署", hr."部署別人数", hr.employee_directory TO sample_staff;
GRANT UPDATE ON hr.employee_directory TO sample_hr;

REVOKE EXECUTE ON FUNCTION hr.department_headcount(character) FROM PUBLIC;
GRANT EXECUTE ON FUNCTION hr.department_headcount(character) TO sample_hr, sample_manager;
GRANT EXECUTE ON PROCEDURE sales.cancel_order(bigint, text) TO sample_manager;
REVOKE EXECUTE ON PROCEDURE inventory.transfer_stock(smallint, smallint, integer, integer, integer) FROM PUBLIC;
GRANT EXECUTE ON PROCEDURE inventory.transfer_stock(smallint, smallint, integer, integer, integer) TO sample_sales;
GRANT USAGE ON TYPE sales.order_status TO sample_staff;
GRANT USAGE ON DOMAIN sales.money_amount TO sample_staff;

ALTER DEFAULT PRIVILEGES IN SCHEMA reporting GRANT SELECT ON TABLES TO sample_readonly;
ALTER DEFAULT PRIVILEGES IN SCHEMA reporting GRANT EXECUTE ON FUNCTIONS TO sample_staff;
